// Wrapped, centred, percentage-placed text, worked out by hand with the test font standing in
// for the fixed face (platform/font_testing.h: at height h, cell h, Latin boxes (h/3 − 1) × h/2
// advancing h/2).
#include <vector>

#include <gtest/gtest.h>

#include "platform/font_testing.h"
#include "render/wrapped_text_sprite.h"

namespace {

class WrappedText : public ::testing::Test {
protected:
    void SetUp() override {
        sprite.SetFrameSize(640, 480);
        sprite.SetFontHeight(24); // Latin advance 12, line step 24 / 2 + 24 = 36
        sprite.SetTextColor(0x00FFFFFF);
    }
    BOOL Show(std::u16string text) {
        sprite.SetText(std::move(text));
        return sprite.Render();
    }
    int OpaquePixels() const {
        int n = 0;
        for (long long i = 0; i < static_cast<long long>(sprite.width) * sprite.height; ++i)
            n += sprite.pixels[static_cast<std::size_t>(i) * 4 + 3] == 255;
        return n;
    }

    ScopedTestFontFace standIn{CWrappedTextSprite::kWrappedFontFace};
    CWrappedTextSprite sprite;
};

TEST_F(WrappedText, ATextExactlyAsWideAsTheFrameStaysOnOneCentredLine) {
    sprite.SetFrameSize(120, 480);
    ASSERT_TRUE(Show(u"abcdefghik")); // 10 × 12 = 120
    EXPECT_EQ(sprite.width, 122);
    EXPECT_EQ(sprite.height, 36);
    EXPECT_EQ(sprite.x, -1);
}

TEST_F(WrappedText, OnePixelWiderWrapsToTheFrameWidth) {
    sprite.SetFrameSize(119, 480);
    ASSERT_TRUE(Show(u"abcdefghik"));
    EXPECT_EQ(sprite.width, 119);
    EXPECT_EQ(sprite.height, 72);
    EXPECT_EQ(sprite.x, 0);
    EXPECT_EQ(OpaquePixels(), 10 * 7 * 12); // every glyph drawn, none cut
}

TEST_F(WrappedText, PlacementFollowsTheFreeHeight) {
    ASSERT_TRUE(Show(std::u16string(60, u'x'))); // 720 wide: two lines, 72 high
    ASSERT_EQ(sprite.height, 72);
    sprite.SetVerticalPercent(8);
    ASSERT_TRUE(sprite.Render());
    EXPECT_EQ(sprite.y, 33); // 480 − (92 × 408) / 100 − 72
    sprite.SetVerticalPercent(0);
    ASSERT_TRUE(sprite.Render());
    EXPECT_EQ(sprite.y, 0);
    sprite.SetVerticalPercent(100);
    ASSERT_TRUE(sprite.Render());
    EXPECT_EQ(sprite.y, 480 - 72);
}

TEST_F(WrappedText, TextNeedingMoreLinesThanEstimatedIsDrawnWhole) {
    // Ten units of 30 pixels in a 100-pixel frame: the width estimates 3 lines, wrapping whole
    // units needs 4 (3 + 3 + 3 + 1).
    sprite.SetFrameSize(100, 480);
    sprite.SetFontHeight(60); // advance 30, boxes 19 × 30, line step 90
    ASSERT_TRUE(Show(u"abcdefghik"));
    EXPECT_EQ(sprite.height, 4 * 90);
    EXPECT_EQ(OpaquePixels(), 10 * 19 * 30);
}

// Opaque pixels of each 36-row line band, top line first (memory rows run up from the bottom).
std::vector<int> InkPerLine(const CWrappedTextSprite& sprite) {
    std::vector<int> ink(static_cast<std::size_t>(sprite.height / 36), 0);
    for (int row = 0; row < sprite.height; ++row)
        for (int x = 0; x < sprite.width; ++x)
            if (sprite.pixels[(static_cast<std::size_t>(row) * sprite.width + x) * 4 + 3] == 255)
                ++ink[ink.size() - 1 - static_cast<std::size_t>(row / 36)];
    return ink;
}

TEST_F(WrappedText, LineFeedsStartLinesAndEachLineWrapsOnItsOwn) {
    constexpr int kGlyph = 7 * 12; // one Latin box
    ASSERT_TRUE(Show(u"ab\ncde"));
    EXPECT_EQ(sprite.width, 3 * 12 + 2); // the widest line and its margins
    EXPECT_EQ(InkPerLine(sprite), (std::vector<int>{2 * kGlyph, 3 * kGlyph}));

    // Breaks at either end draw nothing, CR LF is one break, a blank line inside stays.
    ASSERT_TRUE(Show(u"\r\n\nab\r\n\r\ncd\n\r\n"));
    EXPECT_EQ(sprite.width, 2 * 12 + 2);
    EXPECT_EQ(InkPerLine(sprite), (std::vector<int>{2 * kGlyph, 0, 2 * kGlyph}));

    // A line too wide for the frame wraps by itself; the text then fills the frame's width.
    sprite.SetFrameSize(119, 480);
    ASSERT_TRUE(Show(u"abcdefghik\nab"));
    EXPECT_EQ(sprite.width, 119);
    EXPECT_EQ(InkPerLine(sprite), (std::vector<int>{9 * kGlyph, kGlyph, 2 * kGlyph}));

    ASSERT_TRUE(Show(u"\r\n\n"));
    EXPECT_EQ(sprite.height, 0);
    ASSERT_TRUE(Show(u"a\rb")); // a lone CR breaks nothing
    EXPECT_EQ(sprite.height, 36);
}

TEST_F(WrappedText, ASpriteTallerThanTheFrameSitsAtTheTop) {
    sprite.SetFrameSize(100, 50);
    ASSERT_TRUE(Show(u"abcdefghiklmnop"));
    EXPECT_GT(sprite.height, 50);
    EXPECT_EQ(sprite.y, 0);
}

TEST_F(WrappedText, EmptyTextAndAnUnsetFrameSize) {
    ASSERT_TRUE(Show(u""));
    EXPECT_EQ(sprite.width, 2);
    EXPECT_EQ(sprite.height, 0);

    CWrappedTextSprite unset;
    unset.SetText(u"abc");
    EXPECT_FALSE(unset.Render());
    EXPECT_EQ(unset.width, 0);
}

} // namespace
