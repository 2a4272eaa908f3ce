// The free mode's text sprite, laid out with the test font standing in for the fixed face
// (platform/font_testing.h: at height h, cell h, Latin boxes (h/3 − 1) × h/2 advancing h/2,
// line step h/2 + h).
#include <cstring>

#include <gtest/gtest.h>

#include "game/free_text_sprite.h"
#include "platform/font_testing.h"

namespace {

class FreeTextSprite : public ::testing::Test {
protected:
    BOOL Show(std::uint16_t frameWidth, std::u16string text) {
        sprite.SetFrameSize(frameWidth, 480);
        sprite.SetTextColor(0x00FFFFFF);
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
    CSpriteTextShow sprite;
};

TEST_F(FreeTextSprite, UntouchedItSitsOnTheBottomEdgeInLargeTextOverTranslucentGreen) {
    ASSERT_TRUE(Show(640, u"ab")); // height 76: advance 38, line step 38 + 76
    EXPECT_EQ(sprite.width, 2 * 38 + 2);
    EXPECT_EQ(sprite.height, 114);
    EXPECT_EQ(sprite.y, 480 - 114);
    const BYTE band[4] = {0x00, 0x80, 0x00, 0x30};
    EXPECT_EQ(0, std::memcmp(sprite.background.get(), band, 4));
}

TEST_F(FreeTextSprite, TextAsWideAsTheFrameStaysOnOneLineAndOnePixelMoreWraps) {
    sprite.SetFontHeight(32); // advance 16: forty letters are 640 pixels
    ASSERT_TRUE(Show(640, std::u16string(40, u'a')));
    EXPECT_EQ(sprite.width, 642);
    EXPECT_EQ(sprite.x, -1);
    EXPECT_EQ(sprite.height, 48);

    ASSERT_TRUE(Show(639, std::u16string(40, u'a')));
    EXPECT_EQ(sprite.width, 639);
    EXPECT_EQ(sprite.x, 0);
    EXPECT_EQ(sprite.height, 2 * 48);
}

TEST_F(FreeTextSprite, TheQuestionsPlaceUnderThePrompt) {
    sprite.SetFontHeight(24);                         // line step 36
    sprite.SetVerticalPercent(8);                     // the question's place
    ASSERT_TRUE(Show(640, std::u16string(60, u'x'))); // 720 pixels: two lines
    EXPECT_EQ(sprite.height, 72);
    EXPECT_EQ(sprite.y, 33); // 480 − (92 × 408) / 100 − 72
}

TEST_F(FreeTextSprite, TextNeedingMoreLinesThanItsWidthSuggestsIsDrawnWhole) {
    // Ten letters of 30 pixels in a 100-pixel frame: 300 pixels suggest 3 lines, whole letters
    // need 4.
    sprite.SetFontHeight(60); // boxes 19 × 30, line step 90
    ASSERT_TRUE(Show(100, u"abcdefghik"));
    EXPECT_EQ(sprite.height, 4 * 90);
    EXPECT_EQ(OpaquePixels(), 10 * 19 * 30);
}

} // namespace
