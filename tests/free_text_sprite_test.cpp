// The free mode's text sprite: its own defaults over the wrapped layout (whose numbers are
// tested with the layout itself), with the test font standing in for the fixed face.
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

} // namespace
