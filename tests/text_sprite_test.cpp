// The text sprite: layout numbers worked out by hand with the test font (platform/font_testing.h:
// at height 24, cell 24, descent 5, Latin boxes 7×12 at (1, 12) advancing 12, CJK boxes 20×20 at
// (2, 17) advancing 24), clipping, buffer reuse, and real glyphs reaching a real frame.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "platform/font_testing.h"
#include "render/text_sprite.h"

namespace {

constexpr std::uint32_t kInk = 0x00112233; // blue 0x33, green 0x22, red 0x11

// Exposes the routines derived sprites use.
class ProbeSprite : public CSpriteTextShowBase {
public:
    using CSpriteTextShowBase::FontContext;
    using CSpriteTextShowBase::PreparePixelBuffer;
    using CSpriteTextShowBase::RenderGlyph;
};

class TextSprite : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterTestFont();
        sprite.SetFontFace(kTestFontFace);
        sprite.SetFrameSize(640, 480);
        sprite.SetTextColor(kInk);
    }

    BOOL RenderText(std::u16string text) {
        sprite.SetText(std::move(text));
        return sprite.Render();
    }

    // Sprite pixel at column `col` of memory row `row` (rows counted up from the bottom).
    const BYTE* Pixel(int col, int row) const {
        return sprite.pixels.get() + (static_cast<std::size_t>(row) * sprite.width + col) * 4;
    }
    BYTE Alpha(int col, int row) const { return Pixel(col, row)[3]; }
    bool Untouched(int col, int row) const {
        const BYTE zero[4] = {};
        return std::memcmp(Pixel(col, row), zero, 4) == 0;
    }
    // Whether every pixel of the column is untouched.
    bool ColumnUntouched(int col) const {
        for (int row = 0; row < sprite.height; ++row)
            if (!Untouched(col, row)) return false;
        return true;
    }

    ProbeSprite sprite;
};

TEST_F(TextSprite, LaysOneLineOutWithAQuarterFontHeightMarginAboveAndBelow) {
    ASSERT_EQ(RenderText(u"A你"), TRUE);
    EXPECT_EQ(sprite.width, 12 + 24 + 2);
    EXPECT_EQ(sprite.height, 24 / 2 + 24);

    // Baseline row 24 / 4 + 5 = 11. 'A' sits on it: rows 11..22, columns 2..8, full coverage in
    // the text colour.
    EXPECT_EQ(Alpha(2, 11), 255);
    EXPECT_EQ(Alpha(8, 22), 255);
    EXPECT_EQ(Pixel(2, 11)[0], 0x33);
    EXPECT_EQ(Pixel(2, 11)[1], 0x22);
    EXPECT_EQ(Pixel(2, 11)[2], 0x11);
    EXPECT_EQ(Alpha(2, 10), 0);
    EXPECT_EQ(Alpha(2, 23), 0);
    EXPECT_EQ(Alpha(9, 11), 0); // row padding carries coverage 0
    // '你' at pen 13: origin (2, 17) puts its 20×20 box on rows 8..27, columns 15..34.
    EXPECT_EQ(Alpha(15, 8), 255);
    EXPECT_EQ(Alpha(34, 27), 255);
    EXPECT_EQ(Alpha(15, 7), 0);
    EXPECT_EQ(Alpha(15, 28), 0);
    EXPECT_TRUE(ColumnUntouched(0));
    EXPECT_TRUE(ColumnUntouched(sprite.width - 1));
}

TEST_F(TextSprite, EmptyTextIsTwoColumnsWideAndShowsNothing) {
    sprite.SetBackgroundColor(0xFF0000FF); // an opaque band would show if it had any height
    sprite.SetVisible(true);
    ASSERT_EQ(RenderText(u""), TRUE);
    EXPECT_EQ(sprite.width, 2);
    EXPECT_EQ(sprite.height, 0);

    std::vector<BYTE> frame(640 * 480 * 4, 7);
    const std::vector<BYTE> before = frame;
    EXPECT_EQ(sprite.DrawOnFrame(frame.data()), TRUE);
    EXPECT_EQ(frame, before);
}

TEST_F(TextSprite, BlankGlyphsAdvanceAndMissingGlyphsAreSkipped) {
    // A space advances 12 without writing; 'B' lands at pen 25, columns 26..32.
    ASSERT_EQ(RenderText(u"A B"), TRUE);
    EXPECT_EQ(sprite.width, 3 * 12 + 2);
    for (int col = 10; col <= 25; ++col)
        EXPECT_TRUE(ColumnUntouched(col)) << col;
    EXPECT_EQ(Alpha(26, 11), 255);

    // '~' is missing from the font: measured as nothing, drawn as nothing, pen unmoved.
    ASSERT_EQ(RenderText(u"A~B"), TRUE);
    EXPECT_EQ(sprite.width, 2 * 12 + 2);
    EXPECT_EQ(Alpha(14, 11), 255);
    EXPECT_EQ(Alpha(20, 22), 255);
}

TEST_F(TextSprite, CoverageLevelsMapToAlphaAndOnlyTheFullLevelIsOpaque) {
    // U+2591 is a 5×1 box at (0, 1) with levels 0, 1, 32, 63, 64: row 11, columns 1..5.
    ASSERT_EQ(RenderText(u"\u2591"), TRUE);
    ASSERT_EQ(sprite.width, 7);
    const BYTE expected[] = {0, 3, 125, 247, 255};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Alpha(1 + i, 11), expected[i]) << i;
    // The rounded-up row is 8 bytes: columns 6..8. Column 6 is inside and gets coverage 0; 7
    // and 8 lie past the right edge and must not spill into the start of the next row.
    EXPECT_EQ(Alpha(6, 11), 0);
    EXPECT_TRUE(Untouched(0, 12));
    EXPECT_TRUE(Untouched(1, 12));
}

TEST_F(TextSprite, GlyphsHangingPastTheSpriteAreClippedToIt) {
    // 'W' is 14 wide on a 12 advance: the last glyph reaches column 28 of a 26-wide sprite.
    ASSERT_EQ(RenderText(u"AW"), TRUE);
    ASSERT_EQ(sprite.width, 26);
    EXPECT_EQ(Alpha(25, 11), 255);
    EXPECT_TRUE(ColumnUntouched(0));
    EXPECT_TRUE(ColumnUntouched(1));

    // 'j' starts 2 left of the pen, at column −1, and reaches 5 rows below the baseline.
    ASSERT_EQ(RenderText(u"j"), TRUE);
    ASSERT_EQ(sprite.width, 14);
    EXPECT_EQ(Alpha(0, 6), 255);
    EXPECT_EQ(Alpha(0, 22), 255);
    EXPECT_TRUE(ColumnUntouched(13)); // column −1 did not wrap to the previous row's end
}

TEST_F(TextSprite, GlyphsPlacedOffTheTopAreClippedAndOffTheBottomMovedUp) {
    ASSERT_EQ(RenderText(u"AA"), TRUE);
    ASSERT_TRUE(sprite.PreparePixelBuffer(sprite.width, sprite.height));
    ProbeSprite::FontContext font(sprite.fontFace, sprite.fontHeight);
    ASSERT_TRUE(font);

    int pen = 1, baseline = sprite.height - 4; // 'A' would cover rows 32..43 of 36
    sprite.RenderGlyph(font.dc(), u'A', &pen, &baseline);
    EXPECT_EQ(pen, 13);
    EXPECT_EQ(Alpha(2, 35), 255);
    EXPECT_EQ(Alpha(2, 31), 0);

    // 'j' on baseline 0 would start 5 rows below the sprite: it is moved up to rows 0..16.
    baseline = 0;
    sprite.RenderGlyph(font.dc(), u'j', &pen, &baseline);
    EXPECT_EQ(Alpha(11, 0), 255);
    EXPECT_EQ(Alpha(11, 16), 255);
    EXPECT_EQ(Alpha(11, 17), 0);
}

TEST_F(TextSprite, BufferIsReusedWhenTheTextShrinksAndReplacedWhenItOutgrowsIt) {
    ASSERT_EQ(RenderText(u"你你你你你你"), TRUE);
    const BYTE* first = sprite.pixels.get();
    EXPECT_EQ(sprite.bufferPages, 1);

    ASSERT_EQ(RenderText(u"A"), TRUE);
    EXPECT_EQ(sprite.pixels.get(), first);
    // The whole capacity is clear again except the one new glyph.
    const std::size_t capacity = std::size_t{640} * 480 * 4;
    std::size_t inked = 0;
    for (std::size_t i = 3; i < capacity; i += 4)
        inked += sprite.pixels[i] != 0;
    EXPECT_EQ(inked, 7u * 12u);
    for (std::size_t i = std::size_t{14} * 36 * 4; i < capacity; ++i)
        ASSERT_EQ(sprite.pixels[i], 0) << i;

    // 400 CJK glyphs: 9602 × 36 pixels need 9602 × 36 / 307200 + 1 = 2 pages.
    ASSERT_EQ(RenderText(std::u16string(400, u'你')), TRUE);
    EXPECT_NE(sprite.pixels.get(), first);
    EXPECT_EQ(sprite.bufferPages, 2);
    EXPECT_EQ(Alpha(9602 - 1 - 24 + 2, 8), 255); // the last glyph, columns 9579..9598
}

TEST_F(TextSprite, RefusesToRenderWithoutAFrameSizeOrFontOrRoomAndKeepsWhatItHad) {
    ASSERT_EQ(RenderText(u"AB"), TRUE);
    const BYTE* pixels = sprite.pixels.get();
    const auto unchanged = [&] {
        return sprite.pixels.get() == pixels && sprite.width == 26 && sprite.height == 36 &&
               Alpha(2, 11) == 255;
    };

    sprite.SetFrameSize(0, 480);
    EXPECT_EQ(RenderText(u"longer text"), FALSE);
    EXPECT_TRUE(unchanged());
    sprite.SetFrameSize(640, 0);
    EXPECT_EQ(RenderText(u"longer text"), FALSE);
    EXPECT_TRUE(unchanged());

    sprite.SetFrameSize(640, 480);
    sprite.SetFontHeight(kMaxFontHeight + 1); // no such font
    EXPECT_EQ(RenderText(u"longer text"), FALSE);
    EXPECT_TRUE(unchanged());

    // At height 4096 four CJK glyphs need 16386 × 6144 × 4 bytes, past the sprite's limit.
    sprite.SetFontHeight(kMaxFontHeight);
    EXPECT_EQ(RenderText(u"你你你你"), FALSE);
    EXPECT_TRUE(unchanged());
}

class TextSpriteOnFrame : public TextSprite {
protected:
    static constexpr int kW = 64, kH = 48;
    void SetUp() override {
        TextSprite::SetUp();
        sprite.SetFrameSize(kW, kH);
        sprite.SetTextColor(0x00FFFFFF);
        sprite.SetVisible(true);
    }
    BYTE& Blue(int col, int row) { return frame[(static_cast<std::size_t>(row) * kW + col) * 4]; }
    std::vector<BYTE> frame = std::vector<BYTE>(kW * kH * 4, 0);
};

TEST_F(TextSpriteOnFrame, HiddenSpriteLeavesTheFrameAlone) {
    ASSERT_EQ(RenderText(u"AB"), TRUE);
    sprite.SetVisible(false);
    EXPECT_EQ(sprite.DrawOnFrame(frame.data()), FALSE);
    EXPECT_EQ(frame, std::vector<BYTE>(kW * kH * 4, 0));
}

TEST_F(TextSpriteOnFrame, DefaultBandIsInvisibleWhileTheTextShows) {
    ASSERT_EQ(RenderText(u"A"), TRUE);
    sprite.SetPosition(5, 0); // memory rows 48 − 0 − 36 = 12 .. 47
    EXPECT_EQ(sprite.DrawOnFrame(frame.data()), TRUE);
    EXPECT_EQ(Blue(5 + 2, 12 + 11), 254); // white at alpha 255 over black
    EXPECT_EQ(Blue(5 + 0, 12 + 11), 0);   // margin column: band alpha 0 and no ink
    EXPECT_EQ(Blue(5 + 2, 12 + 10), 0);

    sprite.SetBackgroundColor(0xFF0000FF); // opaque blue band, rebuilt on render
    ASSERT_EQ(sprite.Render(), TRUE);
    EXPECT_EQ(sprite.DrawOnFrame(frame.data()), TRUE);
    EXPECT_EQ(Blue(5 + 0, 12 + 11), 254);
    EXPECT_EQ(Blue(4, 12 + 11), 0); // left of the sprite
}

TEST_F(TextSpriteOnFrame, TextWiderThanTheFrameShowsItsFirstColumnsFromTheLeftEdge) {
    ASSERT_EQ(RenderText(u"AAAAAA"), TRUE); // 74 wide on a 64-wide frame
    sprite.SetPosition(20, 0);
    EXPECT_EQ(sprite.DrawOnFrame(frame.data()), TRUE);
    EXPECT_EQ(Blue(0, 12 + 11), 0);
    EXPECT_EQ(Blue(2, 12 + 11), 254);  // sprite column 2, whatever x says
    EXPECT_EQ(Blue(62, 12 + 11), 254); // sixth 'A' at pen 61: columns 62..68, cut at 63
    EXPECT_EQ(Blue(63, 12 + 11), 254);
}

TEST(TextSpriteRealFont, DrawsAntiAliasedGlyphsInsideItsRectangleOnly) {
    constexpr int kW = 320, kH = 120, kX = 10, kY = 20;
    CSpriteTextShowBase sprite;
    sprite.SetFrameSize(kW, kH);
    sprite.SetTextColor(0x00FFFFFF);
    sprite.SetText(u"你好, World");
    sprite.SetVisible(true);
    sprite.SetPosition(kX, kY);
    ASSERT_EQ(sprite.Render(), TRUE);
    ASSERT_GT(sprite.width, 100);
    ASSERT_EQ(sprite.height, 12 + 24);

    std::vector<BYTE> frame(kW * kH * 4, 0x10);
    EXPECT_EQ(sprite.DrawOnFrame(frame.data()), TRUE);
    const int top = kH - kY - sprite.height;
    std::set<BYTE> levels;
    for (int row = 0; row < kH; ++row)
        for (int col = 0; col < kW; ++col) {
            const BYTE blue = frame[(static_cast<std::size_t>(row) * kW + col) * 4];
            const bool inside =
                col >= kX && col < kX + sprite.width && row >= top && row < top + sprite.height;
            if (!inside)
                ASSERT_EQ(blue, 0x10) << col << "," << row;
            else
                levels.insert(blue);
        }
    EXPECT_GE(*levels.rbegin(), 250);
    const auto between =
        std::count_if(levels.begin(), levels.end(), [](BYTE b) { return b > 0x10 && b < 250; });
    EXPECT_GE(between, 8); // anti-aliased edges, not a two-level stencil
}

} // namespace
