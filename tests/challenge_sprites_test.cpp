// The score mark and the bottom band on real frames, with the test font standing in for the fixed
// face (platform/font_testing.h: at height 16 the cell is 16 high with descent 3, digits are 4 × 8
// boxes at origin (1, 8) advancing 8).
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "game/challenge_sprites.h"
#include "platform/font_testing.h"

namespace {

constexpr int kW = 640, kH = 480;
// Opaque sprite pixels over black: ((256 − 255) × 0 + 255 × c) >> 8.
constexpr BYTE kGrey = (255 * 0xB4) >> 8;   // 179
constexpr BYTE kYellow = (255 * 0xFF) >> 8; // 254 in red and green

struct Frame {
    explicit Frame(BYTE fill = 0, int w = kW, int h = kH)
        : width(w), bytes(static_cast<std::size_t>(w) * h * 4, fill) {}
    // Blue, green, red of the pixel at column x of memory row `row`.
    std::uint32_t Rgb(int x, int row) const {
        std::uint32_t p;
        std::memcpy(&p, &bytes[(static_cast<std::size_t>(row) * width + x) * 4], 4);
        return p & 0x00FFFFFF;
    }
    int width;
    std::vector<BYTE> bytes;
};

constexpr std::uint32_t Rgb(BYTE r, BYTE g, BYTE b) {
    return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

class ScoreMark : public ::testing::Test {
protected:
    void SetUp() override {
        mark.SetFrameSize(kW, kH);
        mark.SetFontHeight(16);
        mark.x = 100;
    }
    void Show(int count) {
        mark.SetText(std::u16string(1, static_cast<char16_t>(u'0' + count % 10)));
        mark.filledLength = count * 4;
        ASSERT_TRUE(mark.Render());
        mark.DrawOnFrame(frame.bytes.data());
    }

    ScopedTestFontFace standIn{CSpriteAccMark::kMarkFontFace};
    CSpriteAccMark mark;
    Frame frame;
};

TEST_F(ScoreMark, CountZeroShowsTheGreyBarWithARedNumberOnItsRightEnd) {
    Show(0);
    EXPECT_EQ(mark.barHeight, 16); // the number's cell height
    EXPECT_EQ(mark.width, 10);
    // The bar: columns 100..179, memory rows 10..25.
    EXPECT_EQ(frame.Rgb(100, 10), Rgb(kGrey, kGrey, kGrey));
    EXPECT_EQ(frame.Rgb(179, 25), Rgb(kGrey, kGrey, kGrey));
    EXPECT_EQ(frame.Rgb(99, 10), 0u);
    EXPECT_EQ(frame.Rgb(180, 10), 0u);
    EXPECT_EQ(frame.Rgb(100, 9), 0u);
    EXPECT_EQ(frame.Rgb(100, 26), 0u);
    // The digit: its image starts at 180 − 10; the box at pen 1 + origin 1, rows 3..10 above the
    // bar's lower edge. Red over grey: (179 + 255 × 255) >> 8 = 254, blue and green 179 >> 8 = 0.
    EXPECT_EQ(frame.Rgb(172, 13), Rgb(254, 0, 0));
    EXPECT_EQ(frame.Rgb(175, 20), Rgb(254, 0, 0));
    EXPECT_EQ(frame.Rgb(176, 13), Rgb(kGrey, kGrey, kGrey));
}

TEST_F(ScoreMark, TheFillGrowsFourPixelsPerAnswerAndStopsAtTheBarsEnd) {
    Show(5);
    EXPECT_EQ(frame.Rgb(119, 10), Rgb(kYellow, kYellow, 0));
    EXPECT_EQ(frame.Rgb(120, 10), Rgb(kGrey, kGrey, kGrey));

    frame = Frame();
    Show(20);
    EXPECT_EQ(frame.Rgb(140, 12), Rgb(kYellow, kYellow, 0));
    EXPECT_EQ(frame.Rgb(171, 25), Rgb(kYellow, kYellow, 0));

    frame = Frame();
    Show(25); // 100 pixels asked for, 80 drawn
    EXPECT_EQ(frame.Rgb(171, 10), Rgb(kYellow, kYellow, 0));
    EXPECT_EQ(frame.Rgb(180, 10), 0u);
    EXPECT_EQ(frame.Rgb(199, 10), 0u);
}

TEST_F(ScoreMark, BarImagesGrowWithTheTextHeightAndTheBarLength) {
    Show(3);
    mark.SetFontHeight(48); // a 48-row bar now
    mark.barLength = 200;
    Show(3);
    EXPECT_EQ(mark.barHeight, 48);
    EXPECT_EQ(frame.Rgb(299, 57), Rgb(kGrey, kGrey, kGrey));
    EXPECT_EQ(frame.Rgb(111, 57), Rgb(kYellow, kYellow, 0));
    EXPECT_EQ(frame.Rgb(300, 57), 0u);
    EXPECT_EQ(frame.Rgb(100, 58), 0u);
}

TEST_F(ScoreMark, ANumberWiderThanTheFrameIsLeftOut) {
    Frame narrow(0, 40, 40);
    mark.SetFrameSize(40, 40);
    mark.x = 0;
    mark.barLength = 40;    // the number would start two columns left of the frame
    mark.SetText(u"12345"); // 5 × 8 + 2 = 42 columns
    ASSERT_TRUE(mark.Render());
    mark.DrawOnFrame(narrow.bytes.data());
    for (int x = 0; x < 40; ++x)
        EXPECT_EQ(narrow.Rgb(x, 15), Rgb(kGrey, kGrey, kGrey)) << x; // bar clipped, no digits
}

TEST_F(ScoreMark, EmptyTextKeepsTheBarHeightAndDrawsNoNumber) {
    mark.SetText(u"");
    ASSERT_TRUE(mark.Render());
    EXPECT_EQ(mark.height, 0);
    EXPECT_EQ(mark.barHeight, CSpriteAccMark::kDefaultBarHeight);
    mark.DrawOnFrame(frame.bytes.data());
    EXPECT_EQ(frame.Rgb(179, 19), Rgb(kGrey, kGrey, kGrey));
    EXPECT_EQ(frame.Rgb(179, 20), 0u);
}

TEST(BottomBand, AFrameLowerThanTheBandIsCoveredWhole) {
    CSpriteBottomBK band;
    band.SetFrameSize(64, 40);
    ASSERT_TRUE(band.Render());
    Frame frame(200, 64, 40);
    band.DrawOnFrame(frame.bytes.data());
    EXPECT_EQ(frame.Rgb(63, 39), Rgb(125, 125, 125));
}

TEST(BottomBand, RefusesToRenderWithoutAFrameWidth) {
    CSpriteBottomBK band;
    EXPECT_FALSE(band.Render());
    Frame frame(200, 8, 8);
    EXPECT_TRUE(band.DrawOnFrame(frame.bytes.data()));
    EXPECT_EQ(frame.Rgb(0, 0), Rgb(200, 200, 200));
}

TEST(ChallengeText, DefaultsToLargeTextOnTheLowerEdge) {
    ScopedTestFontFace standIn{CWrappedTextSprite::kWrappedFontFace};
    CSpriteChallengeTextShow sprite;
    EXPECT_EQ(sprite.fontHeight, 76);
    sprite.SetFrameSize(kW, kH);
    sprite.SetText(u"ab");
    ASSERT_TRUE(sprite.Render());
    EXPECT_EQ(sprite.y + sprite.height, kH);
}

} // namespace
