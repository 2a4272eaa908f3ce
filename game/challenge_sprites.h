// The sprites of the challenge game: the wrapped question and player names, the score marks of
// the three player columns, and the translucent band behind the columns.
//
// The score mark and the band place themselves in memory rows counted from the frame buffer's
// first row, which in bottom-up frames is upward from the picture's lower edge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "render/wrapped_text_sprite.h"

// Centred text wrapped to the frame's width, placed by a vertical percentage (100: on the lower
// edge). The question and the player names.
class CSpriteChallengeTextShow : public CWrappedTextSprite {
public:
    static constexpr int kDefaultFontHeight = 76;
    static constexpr int kDefaultVerticalPercent = 100;

    CSpriteChallengeTextShow() {
        fontHeight = kDefaultFontHeight;
        verticalPercent = kDefaultVerticalPercent;
    }
};

// A score mark: a grey bar of fixed length from memory row 10 up, filled in yellow from its left
// end, with the score number in red right-aligned on the bar's right end.
class CSpriteAccMark : public CSpriteTextShowBase {
public:
    static constexpr char16_t kMarkFontFace[] = u"宋体"; // `fontFace` is not read
    static constexpr std::uint32_t kDefaultBarBackgroundColor = 0xFFB4B4B4; // opaque light grey
    static constexpr std::uint32_t kDefaultBarFillColor = 0xFFFFFF00;       // opaque yellow
    static constexpr std::uint32_t kNumberColor = 0xFFFF0000;               // red, every Render
    static constexpr int kDefaultBarHeight = 10;
    static constexpr int kDefaultBarLength = 80;
    static constexpr int kBottomRow = 10; // memory row of the bar's and the number's lower edge

    // Rasterises the number (`text`) on one line, takes its cell height as the bar height when
    // the text is not empty, and rebuilds both bar images. The fill covers min(filledLength,
    // barLength) columns. Returns 0 with the sprite unchanged while the frame size is unset, when
    // the font cannot be created or when an image would be too large.
    BOOL Render() override;
    // Blends the bar, its fill and, when it is no wider than the layout, the number at column
    // `x`, clipped to `frame`. Draws whether or not the sprite is visible; returns 1.
    BOOL DrawOnFrame(const FrameView& frame) override;
    using CSpriteTextShowBase::DrawOnFrame;

    std::unique_ptr<BYTE[]> barBackground; // barLength × barHeight pixels as last rendered
    std::unique_ptr<BYTE[]> barFill;       // a fill-wide image of barHeight rows
    std::uint32_t barBackgroundColor = kDefaultBarBackgroundColor;
    std::uint32_t barFillColor = kDefaultBarFillColor;
    int barHeight = kDefaultBarHeight; // replaced by the text height at every non-empty Render
    int barLength = kDefaultBarLength;
    int filledLength = 0; // the challenge game sets count × 4

private:
    bool PrepareBars(int length, int rows, int filled);

    // What the bar images hold, as last rendered; drawing reads only these.
    int imageLength_ = 0;
    int imageRows_ = 0;
    int imageFilled_ = 0;
    std::size_t barCapacity_ = 0; // pixels each bar buffer can hold
};

// A translucent dark band across the frame's full width over its lowest rows.
class CSpriteBottomBK : public CSpriteTextShowBase {
public:
    static constexpr std::uint32_t kDefaultBandColor = 0x60010101; // alpha 0x60 = 96 of 256
    static constexpr int kDefaultBandHeight = 60;

    // Builds the band: frameWidth × bandHeight pixels of bandColor. Returns 0 with the sprite
    // unchanged while the frame width is unset or when the band would be too large.
    BOOL Render() override;
    // Blends the band over the picture's lowest bandHeight rows (all rows of a lower frame), as
    // wide as the band and the frame both are. Returns 1.
    BOOL DrawOnFrame(const FrameView& frame) override;
    using CSpriteTextShowBase::DrawOnFrame;

    std::unique_ptr<BYTE[]> band;
    std::uint32_t bandColor = kDefaultBandColor;
    int bandHeight = kDefaultBandHeight;

private:
    int bandWidth_ = 0; // what `band` holds, as last rendered
    int bandRows_ = 0;
    std::size_t bandCapacity_ = 0; // pixels
};
