// A text sprite that wraps its text over as many lines as the frame's width needs and places
// itself: horizontally centred, vertically at a percentage of the frame's free height.
#pragma once

#include <string_view>
#include <vector>

#include "render/text_sprite.h"

class CWrappedTextSprite : public CSpriteTextShowBase {
public:
    // Wrapped text is always drawn in this face; `fontFace` is not read.
    static constexpr char16_t kWrappedFontFace[] = u"宋体";

    // Lays the text out and rasterises it, and sets width, height, x and y. A line feed (or a
    // CR LF pair) starts a new line, and line feeds at either end of the text draw nothing; each
    // such line wraps by width on its own. Text on a single line sits in a box two pixels wider
    // than itself, and lines that all fit sit in a box two pixels wider than the widest; once a
    // line wraps, the text fills the frame's width. Lines are left-aligned one column in, one per
    // `fontHeight` / 2 + cell height. Returns 0 with the sprite unchanged while the frame size is
    // unset, when the font cannot be created or when the text is too large to hold.
    BOOL Render() override;

    void SetVerticalPercent(int percent) { verticalPercent = percent; }
    // The settings of the base plus the vertical percentage, when `other` wraps too.
    void CopySettingsFrom(const CSpriteTextShowBase& other) override;
    bool HasSettingsOf(const CSpriteTextShowBase& other) const override;

    // 0 puts the sprite's top edge on the frame's top edge, 100 its bottom edge on the frame's
    // bottom edge; values outside 0..100 are clamped where they are used.
    int verticalPercent = 100;

protected:
    // A run of the text: `length` units from `start`.
    struct Line {
        std::size_t start;
        std::size_t length;
    };
    // The advance of each unit of `text` in the font selected into `dc`.
    std::vector<int> Advances(HDC dc, std::u16string_view text);
    // The text's paragraphs: the runs between its line breaks, the breaks at either end dropped.
    static std::vector<Line> Paragraphs(std::u16string_view text);
    // Breaks a paragraph with these unit advances into lines: a line takes units while its width
    // plus the next unit's advance stays within the frame's width, and always takes its first
    // unit. An empty paragraph gives no line.
    std::vector<Line> WrapLines(const std::vector<int>& advances, Line paragraph) const;
};
