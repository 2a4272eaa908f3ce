// The font half of Windows GDI, as the plug-in calls it: device contexts, fonts, text metrics and
// glyph outlines as 8-bit coverage bitmaps. Backed by FreeType and fontconfig; glyphs come from
// outlines only (embedded bitmaps off), so every size looks alike.
//
// Face names: "宋体" and "SimSun" resolve to the installed Song/Ming-style CJK font ("AR PL UMing
// CN"); any other name resolves through fontconfig; a name fontconfig does not know falls back to
// that CJK font, never to no font. Opening a face is done once per font file and shared by every
// font created from it; glyph metrics and coverage are cached (platform/glyph_cache.h).
//
// All calls are safe from several threads; handles are checked, so a stale or foreign handle
// gives the call's failure result instead of a crash.
#pragma once

#include "platform/wintypes.h"

struct POINT {
    LONG x;
    LONG y;
};

struct SIZE {
    LONG cx;
    LONG cy;
};

// A 16.16 fixed-point number as GDI's transformation matrices hold it.
struct FIXED {
    WORD fract;
    short value;
};

struct MAT2 {
    FIXED eM11;
    FIXED eM12;
    FIXED eM21;
    FIXED eM22;
};

// One glyph's box and advance. The origin is the black box's top-left corner relative to the pen
// on the baseline, y counted upwards.
struct GLYPHMETRICS {
    UINT gmBlackBoxX;
    UINT gmBlackBoxY;
    POINT gmptGlyphOrigin;
    short gmCellIncX;
    short gmCellIncY;
};

struct TEXTMETRICW {
    LONG tmHeight; // cell height: ascent + descent
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

inline constexpr DWORD GDI_ERROR = 0xFFFFFFFFu;

// Glyph outline formats.
inline constexpr UINT GGO_METRICS = 0;
inline constexpr UINT GGO_GRAY8_BITMAP = 6;
// The number of coverage levels GGO_GRAY8_BITMAP delivers: 0 (empty) to 64 (full).
inline constexpr int GGO_GRAY8_LEVELS = 65;

// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// Font creation arguments.
inline constexpr int FW_DONTCARE = 0;
inline constexpr int FW_NORMAL = 400;
inline constexpr int FW_SEMIBOLD = 600;
inline constexpr int FW_BOLD = 700;
inline constexpr DWORD ANSI_CHARSET = 0;
inline constexpr DWORD DEFAULT_CHARSET = 1;
inline constexpr DWORD OUT_DEFAULT_PRECIS = 0;
inline constexpr DWORD OUT_CHARACTER_PRECIS = 2;
inline constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
inline constexpr DWORD CLIP_CHARACTER_PRECIS = 1;
inline constexpr DWORD DEFAULT_QUALITY = 0;
inline constexpr DWORD DEFAULT_PITCH = 0;

// The largest font height, in pixels, CreateFontW accepts; beyond it a single glyph bitmap could
// take hundreds of megabytes.
inline constexpr int kMaxFontHeight = 4096;

// Device contexts. GetDC(nullptr) is the screen's; a memory context starts with a default font
// selected and background mode OPAQUE.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);

// Creates a font. Height > 0 is the cell height (ascent + descent), < 0 the em height, 0 a
// default height; weight (FW_SEMIBOLD and up emboldens a face without a bold style), italic and
// face are honoured, the other arguments are accepted. NULL only when no font exists at all or
// the height is beyond kMaxFontHeight.
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCWSTR face);

// Selects a font into a context; returns the font it replaces, NULL on failure. A font stays
// usable by contexts it is selected into even after DeleteObject.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
// Returns the previous mode, 0 on failure.
int SetBkMode(HDC dc, int mode);

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);

// GGO_METRICS: fills `metrics`, returns 1. GGO_GRAY8_BITMAP with a null buffer or size 0: fills
// `metrics`, returns the bitmap's size (0 for a blank glyph such as a space). With a buffer of at
// least that size: also writes the bitmap (gmBlackBoxY rows, each gmBlackBoxX bytes padded to a
// multiple of 4, top row first, levels 0 to 64) and returns its size. GDI_ERROR when the font
// lacks the character, the buffer is too small, the format is another one or `matrix` is not the
// identity (the only transformation supported).
DWORD GetGlyphOutlineW(HDC dc, UINT ch, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize,
                       LPVOID buffer, const MAT2* matrix);

// The sum of the advances of the first `count` units (characters the font lacks add nothing) and
// the cell height.
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);
