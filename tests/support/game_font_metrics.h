// The Song face at every cell height the games draw with, as the Linux build's FreeType layer
// measures it and as Windows' GDI does (Wine 8's, with the same AR PL UMing file). Each build
// checks its own column, so a change on either side shows here, next to the other side's value.
//
// Where the columns differ: our layer fits the em to the requested cell exactly (a fractional
// pixel size), so the cell height is always the one asked for and advances follow that size;
// GDI rounds its pixel size to whole pixels and rounds advances up to it, so ideographs come out
// up to 1 px wider (Latin letters up to 2 px at 76 px) and the 16 px cell one row shorter.
// Layout that sums advances therefore runs a little wider on Windows.
#pragma once

#include <array>
#include <ostream>

#include "platform/gdi.h"

struct SongMetrics {
    int cell;      // the height asked for
    int height;    // tmHeight
    int ascent;    // tmAscent
    int descent;   // tmDescent
    int ideograph; // advance of 中
    int latin;     // advance of A
};

struct GameFontSize {
    SongMetrics freetype;
    SongMetrics gdi;
};

// 16: challenge marks; 18: free-mode answers and scores; 20: prompt; 21: challenge labels;
// 24: free-mode question and the default; 28: challenge question; 76: the large sprites.
inline constexpr std::array<GameFontSize, 7> kGameFontSizes{{
    {{16, 16, 14, 2, 15, 8}, {16, 15, 13, 2, 16, 8}},
    {{18, 18, 15, 3, 17, 9}, {18, 18, 15, 3, 18, 9}},
    {{20, 20, 17, 3, 19, 10}, {20, 20, 17, 3, 20, 10}},
    {{21, 21, 18, 3, 20, 10}, {21, 21, 18, 3, 20, 10}},
    {{24, 24, 21, 3, 23, 11}, {24, 24, 21, 3, 24, 12}},
    {{28, 28, 24, 4, 27, 13}, {28, 28, 24, 4, 28, 14}},
    {{76, 76, 65, 11, 73, 36}, {76, 76, 65, 11, 74, 38}},
}};

// What the platform's GDI reports for the Song face at `cell` pixels.
inline SongMetrics MeasureSong(int cell) {
    SongMetrics m{cell, 0, 0, 0, 0, 0};
    const HDC dc = CreateCompatibleDC(nullptr);
    const HFONT font =
        CreateFontW(cell, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                    OUT_CHARACTER_PRECIS, CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, 0, u"宋体");
    const HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICW tm{};
    if (GetTextMetricsW(dc, &tm)) {
        m.height = tm.tmHeight;
        m.ascent = tm.tmAscent;
        m.descent = tm.tmDescent;
    }
    constexpr MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS gm{};
    if (GetGlyphOutlineW(dc, u'中', GGO_METRICS, &gm, 0, nullptr, &kIdentity) != GDI_ERROR)
        m.ideograph = gm.gmCellIncX;
    if (GetGlyphOutlineW(dc, u'A', GGO_METRICS, &gm, 0, nullptr, &kIdentity) != GDI_ERROR)
        m.latin = gm.gmCellIncX;
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
    return m;
}

inline bool operator==(const SongMetrics& a, const SongMetrics& b) {
    return a.cell == b.cell && a.height == b.height && a.ascent == b.ascent &&
           a.descent == b.descent && a.ideograph == b.ideograph && a.latin == b.latin;
}

// "cell 24: height 24 ascent 21 descent 3 中 23 A 11", for failure messages.
inline void PrintTo(const SongMetrics& m, std::ostream* out) {
    *out << "cell " << m.cell << ": height " << m.height << " ascent " << m.ascent << " descent "
         << m.descent << " 中 " << m.ideograph << " A " << m.latin;
}
