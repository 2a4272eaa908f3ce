// The GDI backend under the plug-in's own headers: the rules it adds to the system's GDI, and
// the shape of the coverage the text renderer relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/gdi.h"
#include "support/game_font_metrics.h"

namespace {

constexpr MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

class GdiBackend : public ::testing::Test {
protected:
    void SetUp() override {
        dc_ = CreateCompatibleDC(nullptr);
        ASSERT_NE(dc_, nullptr);
        font_ = CreateFontW(24, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, u"宋体");
        ASSERT_NE(font_, nullptr);
        SelectObject(dc_, font_);
    }
    void TearDown() override {
        DeleteDC(dc_);
        DeleteObject(font_);
    }
    HDC dc_ = nullptr;
    HFONT font_ = nullptr;
};

TEST_F(GdiBackend, GameSizesMeasureAsTheTableSays) {
    // The Linux build's layer is checked against the other column of the same table.
    for (const GameFontSize& size : kGameFontSizes) {
        const SongMetrics gdi = MeasureSong(size.gdi.cell);
        EXPECT_EQ(gdi, size.gdi);
        EXPECT_EQ(gdi.ascent + gdi.descent, gdi.height);
    }
}

TEST_F(GdiBackend, CoverageHasSixtyFiveLevelsInPaddedRows) {
    GLYPHMETRICS metrics{};
    const DWORD size =
        GetGlyphOutlineW(dc_, u'中', GGO_GRAY8_BITMAP, &metrics, 0, nullptr, &kIdentity);
    ASSERT_NE(size, GDI_ERROR);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(size, ((metrics.gmBlackBoxX + 3) & ~3u) * metrics.gmBlackBoxY);
    std::vector<BYTE> bitmap(size);
    ASSERT_EQ(
        GetGlyphOutlineW(dc_, u'中', GGO_GRAY8_BITMAP, &metrics, size, bitmap.data(), &kIdentity),
        size);
    EXPECT_EQ(*std::max_element(bitmap.begin(), bitmap.end()), GGO_GRAY8_LEVELS - 1);
    EXPECT_GT(metrics.gmCellIncX, 0);
}

TEST_F(GdiBackend, RefusesWhatTheRendererMustNotReceive) {
    GLYPHMETRICS metrics{};
    std::vector<BYTE> small(4);
    // A buffer too small for the glyph is refused, not overrun.
    EXPECT_EQ(GetGlyphOutlineW(dc_, u'中', GGO_GRAY8_BITMAP, &metrics, 4, small.data(), &kIdentity),
              GDI_ERROR);
    // Only the identity transformation is drawn.
    const MAT2 doubled = {{0, 2}, {0, 0}, {0, 0}, {0, 2}};
    EXPECT_EQ(GetGlyphOutlineW(dc_, u'中', GGO_METRICS, &metrics, 0, nullptr, &doubled), GDI_ERROR);
    // A private-use character no font here has is missing, not its default glyph.
    EXPECT_EQ(GetGlyphOutlineW(dc_, 0xE000, GGO_METRICS, &metrics, 0, nullptr, &kIdentity),
              GDI_ERROR);
    EXPECT_EQ(CreateFontW(kMaxFontHeight + 1, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                          0, u"宋体"),
              nullptr);
}

} // namespace
