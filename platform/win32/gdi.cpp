// The GDI calls, forwarded to the system's GDI. The checks the system does not make itself are
// made here: the font-height cap, the identity-matrix rule, and GDI_ERROR for a character the
// font lacks (the system would draw its default glyph instead).
#include "platform/gdi.h"

#include "platform/win32/native.h"

namespace {

bool IsIdentity(const MAT2& m) {
    const auto is = [](FIXED f, short value) { return f.fract == 0 && f.value == value; };
    return is(m.eM11, 1) && is(m.eM12, 0) && is(m.eM21, 0) && is(m.eM22, 1);
}

// GetGlyphIndicesW sees UTF-16 units one at a time; characters beyond the first plane are
// taken on trust.
bool HasGlyph(HDC dc, UINT ch) {
    return ch > 0xFFFF || native::FontHasGlyph(dc, static_cast<char16_t>(ch));
}

} // namespace

HDC GetDC(HWND window) {
    return static_cast<HDC>(native::GetDC(window));
}

int ReleaseDC(HWND window, HDC dc) {
    return native::ReleaseDC(window, dc);
}

HDC CreateCompatibleDC(HDC dc) {
    return static_cast<HDC>(native::CreateCompatibleDC(dc));
}

BOOL DeleteDC(HDC dc) {
    return native::DeleteDC(dc);
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCWSTR face) {
    if (height < -kMaxFontHeight || height > kMaxFontHeight) return nullptr;
    return static_cast<HFONT>(native::CreateFontW(
        height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
        outPrecision, clipPrecision, quality, pitchAndFamily, face));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    return native::SelectObject(dc, object);
}

BOOL DeleteObject(HGDIOBJ object) {
    return native::DeleteObject(object);
}

int SetBkMode(HDC dc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return native::SetBkMode(dc, mode);
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics) {
    if (!metrics) return FALSE;
    return native::GetTextMetricsW(dc, metrics);
}

DWORD GetGlyphOutlineW(HDC dc, UINT ch, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize,
                       LPVOID buffer, const MAT2* matrix) {
    if (!metrics || !matrix || !IsIdentity(*matrix)) return GDI_ERROR;
    if (format != GGO_METRICS && format != GGO_GRAY8_BITMAP) return GDI_ERROR;
    if (ch > 0x10FFFF || !HasGlyph(dc, ch)) return GDI_ERROR;
    if (format == GGO_GRAY8_BITMAP && buffer && bufferSize > 0) {
        // The system writes nothing and fails when the buffer is too small; asking for the
        // size first keeps that rule explicit.
        const DWORD needed = native::GetGlyphOutlineW(dc, ch, format, metrics, 0, nullptr, matrix);
        if (needed == GDI_ERROR || bufferSize < needed) return GDI_ERROR;
        if (needed == 0) return 0;
    }
    return native::GetGlyphOutlineW(dc, ch, format, metrics, bufferSize, buffer, matrix);
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size) {
    if (!size || count < 0 || (!text && count > 0)) return FALSE;
    return native::GetTextExtentPoint32W(dc, text, count, size);
}
