// The GDI font layer with the installed CJK font and the test font: face resolution, the glyph
// outline protocol, handle safety, and the glyph cache's reuse, bound and thread safety.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/font_testing.h"
#include "platform/gdi.h"
#include "platform/glyph_cache.h"
#include "render/text_sprite.h"
#include "support/game_font_metrics.h"

namespace {

constexpr MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

// A memory context with one font selected, released on scope exit.
class FontDC {
public:
    explicit FontDC(const char16_t* face, int height = 24, int weight = FW_NORMAL) {
        dc = CreateCompatibleDC(nullptr);
        font = CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_CHARACTER_PRECIS, CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, 0, face);
        if (font) SelectObject(dc, font);
    }
    ~FontDC() {
        DeleteDC(dc);
        DeleteObject(font);
    }
    TEXTMETRICW Metrics() const {
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        return tm;
    }
    DWORD Query(UINT ch, GLYPHMETRICS* gm) const {
        return GetGlyphOutlineW(dc, ch, GGO_GRAY8_BITMAP, gm, 0, nullptr, &kIdentity);
    }
    HDC dc;
    HFONT font;
};

TEST(GdiFont, PositiveHeightIsTheCellAndNegativeTheEm) {
    FontDC cell(u"宋体", 24), em(u"宋体", -24);
    ASSERT_NE(cell.font, nullptr);
    const TEXTMETRICW tm = cell.Metrics();
    EXPECT_EQ(tm.tmHeight, 24);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, 24);
    EXPECT_GT(tm.tmDescent, 0);
    EXPECT_GT(em.Metrics().tmHeight, 24); // the cell is taller than the em
    // Every size the games draw with, against what Windows' GDI gives for the same font.
    for (const GameFontSize& size : kGameFontSizes)
        EXPECT_EQ(MeasureSong(size.freetype.cell), size.freetype);
}

TEST(GdiFont, SongFacesAndUnknownFacesResolveToTheCjkFont) {
    FontDC song(u"宋体"), simsun(u"SimSun"), unknown(u"No Such Face 12345");
    GLYPHMETRICS a{}, b{}, c{};
    const DWORD size = song.Query(u'你', &a);
    ASSERT_NE(size, GDI_ERROR);
    EXPECT_EQ(simsun.Query(u'你', &b), size);
    EXPECT_EQ(unknown.Query(u'你', &c), size);
    EXPECT_EQ(b.gmCellIncX, a.gmCellIncX);
    EXPECT_EQ(c.gmCellIncX, a.gmCellIncX);
}

// The ink a glyph lays down: the sum of its coverage levels.
long Ink(HDC dc, UINT ch) {
    GLYPHMETRICS gm{};
    const DWORD size = GetGlyphOutlineW(dc, ch, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &kIdentity);
    std::vector<BYTE> bitmap(size);
    GetGlyphOutlineW(dc, ch, GGO_GRAY8_BITMAP, &gm, size, bitmap.data(), &kIdentity);
    long sum = 0;
    for (BYTE b : bitmap)
        sum += b;
    return sum;
}

TEST(GdiFont, WeightAndItalicChangeTheGlyphs) {
    FontDC regular(u"宋体"), bold(u"宋体", 24, FW_BOLD);
    EXPECT_GT(Ink(bold.dc, u'你'), Ink(regular.dc, u'你') * 11 / 10);

    HDC dc = CreateCompatibleDC(nullptr);
    HFONT italic = CreateFontW(24, 0, 0, 0, FW_NORMAL, TRUE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                               0, u"宋体");
    SelectObject(dc, italic);
    GLYPHMETRICS upright{}, slanted{};
    regular.Query(u'I', &upright);
    GetGlyphOutlineW(dc, u'I', GGO_GRAY8_BITMAP, &slanted, 0, nullptr, &kIdentity);
    EXPECT_GT(slanted.gmBlackBoxX, upright.gmBlackBoxX); // the stem leans
    DeleteDC(dc);
    DeleteObject(italic);
}

TEST(GdiFont, GlyphBitmapsArePaddedRowsOfSixtyFiveLevels) {
    FontDC font(u"宋体");
    GLYPHMETRICS gm{};
    const DWORD size = font.Query(u'W', &gm);
    ASSERT_NE(size, GDI_ERROR);
    const DWORD rowBytes = (gm.gmBlackBoxX + 3) / 4 * 4;
    EXPECT_EQ(size, rowBytes * gm.gmBlackBoxY);
    EXPECT_GT(gm.gmptGlyphOrigin.y, 0); // box top above the baseline

    std::vector<BYTE> bitmap(size + 1, 0xEE);
    GLYPHMETRICS again{};
    EXPECT_EQ(
        GetGlyphOutlineW(font.dc, u'W', GGO_GRAY8_BITMAP, &again, size, bitmap.data(), &kIdentity),
        size);
    EXPECT_EQ(bitmap[size], 0xEE); // nothing past the reported size
    BYTE peak = 0;
    for (DWORD i = 0; i < size; ++i) {
        ASSERT_LE(bitmap[i], 64);
        peak = std::max(peak, bitmap[i]);
        if (i % rowBytes >= gm.gmBlackBoxX) {
            ASSERT_EQ(bitmap[i], 0); // padding
        }
    }
    EXPECT_EQ(peak, 64);

    GLYPHMETRICS metricsOnly{};
    EXPECT_NE(GetGlyphOutlineW(font.dc, u'W', GGO_METRICS, &metricsOnly, 0, nullptr, &kIdentity),
              GDI_ERROR);
    EXPECT_EQ(metricsOnly.gmCellIncX, gm.gmCellIncX);
}

TEST(GdiFont, BlankGlyphsHaveSizeZeroAndMissingOnesAnswerGdiError) {
    FontDC font(u"宋体");
    GLYPHMETRICS gm{};
    EXPECT_EQ(font.Query(u' ', &gm), 0u);
    EXPECT_GT(gm.gmCellIncX, 0);
    EXPECT_EQ(font.Query(0xFFFF, &gm), GDI_ERROR); // .notdef is not a glyph
    EXPECT_EQ(font.Query(0x110000, &gm), GDI_ERROR);

    SIZE extent{};
    ASSERT_TRUE(GetTextExtentPoint32W(font.dc, u"A\uFFFFA", 3, &extent));
    SIZE two{};
    ASSERT_TRUE(GetTextExtentPoint32W(font.dc, u"AA", 2, &two));
    EXPECT_EQ(extent.cx, two.cx);
    EXPECT_EQ(extent.cy, 24);
}

TEST(GdiFont, RefusesWhatItCannotDoWithoutTouchingTheBuffer) {
    FontDC font(u"宋体");
    GLYPHMETRICS gm{};
    const DWORD size = font.Query(u'你', &gm);
    std::vector<BYTE> bitmap(size, 0xEE);
    EXPECT_EQ(GetGlyphOutlineW(font.dc, u'你', GGO_GRAY8_BITMAP, &gm, size - 1, bitmap.data(),
                               &kIdentity),
              GDI_ERROR);
    const MAT2 doubled = {{0, 2}, {0, 0}, {0, 0}, {0, 2}};
    EXPECT_EQ(
        GetGlyphOutlineW(font.dc, u'你', GGO_GRAY8_BITMAP, &gm, size, bitmap.data(), &doubled),
        GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineW(font.dc, u'你', 5 /* GGO_GRAY4_BITMAP */, &gm, size, bitmap.data(),
                               &kIdentity),
              GDI_ERROR);
    EXPECT_EQ(bitmap, std::vector<BYTE>(size, 0xEE));
    EXPECT_EQ(CreateFontW(kMaxFontHeight + 1, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                          0, u"宋体"),
              nullptr);
}

TEST(GdiFont, StaleAndForeignHandlesAreRefused) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontW(24, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"宋体");
    ASSERT_NE(SelectObject(dc, font), nullptr);
    // A font deleted while selected stays usable by that context.
    EXPECT_TRUE(DeleteObject(font));
    GLYPHMETRICS gm{};
    EXPECT_NE(GetGlyphOutlineW(dc, u'A', GGO_METRICS, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    EXPECT_EQ(SelectObject(dc, font), nullptr);
    EXPECT_FALSE(DeleteObject(font));

    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
    TEXTMETRICW tm{};
    EXPECT_FALSE(GetTextMetricsW(dc, &tm));
    EXPECT_EQ(GetGlyphOutlineW(dc, u'A', GGO_METRICS, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), 0);
}

// A sprite with a given text in the real font, rendered; its pixels as a vector.
std::vector<BYTE> RenderedPixels(const std::u16string& text) {
    CSpriteTextShowBase sprite;
    sprite.SetFrameSize(640, 480);
    sprite.SetTextColor(0x00FFFFFF);
    sprite.SetText(text);
    if (!sprite.Render()) return {};
    return {sprite.pixels.get(), sprite.pixels.get() + std::size_t{4} * sprite.width *
                                                           static_cast<unsigned>(sprite.height)};
}

// Distinct CJK characters, `count` of them from `first`.
std::u16string Ideographs(char16_t first, int count) {
    std::u16string s;
    for (int i = 0; i < count; ++i)
        s += static_cast<char16_t>(first + i);
    return s;
}

class GlyphCacheTest : public ::testing::Test {
protected:
    void TearDown() override { SetGlyphCacheLimit(kDefaultGlyphCacheBytes); }
};

TEST_F(GlyphCacheTest, ReRenderingATextAlreadySeenRasterisesNothing) {
    const std::u16string text = u"再来一次, again";
    const auto first = RenderedPixels(text);
    const auto misses = GetGlyphCacheStats().misses;
    EXPECT_EQ(RenderedPixels(text), first);
    EXPECT_EQ(GetGlyphCacheStats().misses, misses);
}

TEST_F(GlyphCacheTest, StaysWithinItsLimitAndRedrawsEvictedGlyphsAlike) {
    const std::u16string text = Ideographs(0x6C34, 20);
    const auto before = RenderedPixels(text);

    constexpr std::size_t kLimit = 64 << 10;
    SetGlyphCacheLimit(kLimit);
    for (int batch = 0; batch < 10; ++batch) {
        RenderedPixels(Ideographs(static_cast<char16_t>(0x4E00 + batch * 300), 300));
        const GlyphCacheStats stats = GetGlyphCacheStats();
        ASSERT_LE(stats.bytes, kLimit);
        ASSERT_LT(stats.entries, 300u);
    }
    EXPECT_EQ(RenderedPixels(text), before);
}

TEST_F(GlyphCacheTest, TwoThreadsRenderingAtOnceGetWhatOneThreadGets) {
    const std::u16string texts[] = {Ideographs(0x5000, 200), Ideographs(0x5100, 200)};
    ClearGlyphCache();
    const std::vector<BYTE> expected[] = {RenderedPixels(texts[0]), RenderedPixels(texts[1])};
    ClearGlyphCache();
    SetGlyphCacheLimit(32 << 10); // constant eviction while both draw
    std::vector<BYTE> got[2];
    std::thread a([&] {
        for (int i = 0; i < 3; ++i)
            got[0] = RenderedPixels(texts[i % 2]);
    });
    std::thread b([&] {
        for (int i = 0; i < 3; ++i)
            got[1] = RenderedPixels(texts[(i + 1) % 2]);
    });
    a.join();
    b.join();
    EXPECT_EQ(got[0], expected[0]);
    EXPECT_EQ(got[1], expected[1]);
}

} // namespace
