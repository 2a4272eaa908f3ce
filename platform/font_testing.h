// A deterministic font for tests: fixed metrics and known glyph boxes, so that layout numbers can
// be worked out by hand. After RegisterTestFont(), CreateFontW with the face kTestFontFace gives
// it; nothing else does.
//
// Geometry at cell height h (a negative height counts as its magnitude, 0 as 24), with
// d = h × 5 / 24 and a = h − d; the numbers in brackets are for h = 24:
//
//   tmHeight h [24], tmAscent a [19], tmDescent d [5].
//
//   glyph                          box (w × h)          origin (x, y up)    advance
//   ' ' U+0020                     blank                -                   h/2 [12]
//   U+3000 ideographic space       blank                -                   h [24]
//   ASCII '!'..'}' except W, j, ~  (h/3−1) × h/2 [7×12] (1, h/2) [(1, 12)]  h/2 [12]
//   'W'                            (h/2+2) × h/2 [14×12] (0, h/2)           h/2 [12]
//                                  (2 px wider than its advance: hangs into the next cell)
//   'j'                            (h/3−1) × (h/2+d) [7×17] (−2, h/2)       h/2 [12]
//                                  (2 px left of the pen, d rows below the baseline)
//   CJK U+3001..U+303F, U+4E00..U+9FFF, U+FF01..U+FF5E
//                                  (h−4) × (h−4) [20×20] (2, a−2) [(2, 17)] h [24]
//   U+2591 '░'                     5 × 1                (0, 1)              5
//                                  coverage 0, 1, 32, 63, 64 from left to right
//   '~' U+007E and everything else missing: GetGlyphOutlineW answers GDI_ERROR
//
// Every box glyph has coverage 64 inside its box and 0 in the row padding.
#pragma once

#include <string>

inline constexpr char16_t kTestFontFace[] = u"Askgame Test Font";
inline constexpr char16_t kTestFontMissing = u'~';

// Makes kTestFontFace available; calling it again does no harm.
void RegisterTestFont();

// While it lives, `face` gives the test font too: for sprites that always draw in one fixed face.
class ScopedTestFontFace {
public:
    explicit ScopedTestFontFace(std::u16string face);
    ScopedTestFontFace(const ScopedTestFontFace&) = delete;
    ScopedTestFontFace& operator=(const ScopedTestFontFace&) = delete;
    ~ScopedTestFontFace();

private:
    std::u16string face_;
};
