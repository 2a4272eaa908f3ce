#include "platform/font_testing.h"

#include <algorithm>

#include "platform/font_face.h"

namespace {

constexpr int kDefaultTestHeight = 24;
constexpr char16_t kShadeGlyph = u'\u2591';
constexpr BYTE kShadeLevels[] = {0, 1, 32, 63, 64};

class TestFont final : public FontInstance {
public:
    TestFont(std::uint32_t id, int height) : FontInstance(id), h_(height), d_(height * 5 / 24) {}

    TEXTMETRICW Metrics() const override {
        TEXTMETRICW tm{};
        tm.tmHeight = h_;
        tm.tmAscent = h_ - d_;
        tm.tmDescent = d_;
        tm.tmAveCharWidth = h_ / 2;
        tm.tmMaxCharWidth = h_;
        tm.tmWeight = FW_NORMAL;
        tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
        tm.tmFirstChar = u' ';
        tm.tmLastChar = 0xFFFF;
        tm.tmDefaultChar = u'?';
        tm.tmBreakChar = u' ';
        tm.tmCharSet = static_cast<BYTE>(DEFAULT_CHARSET);
        return tm;
    }

    bool LoadGlyph(char32_t ch, bool withCoverage, GlyphImage& out) override {
        out = GlyphImage{};
        const int a = h_ - d_;
        if (ch == u' ') return Blank(h_ / 2, out);
        if (ch == u'\u3000') return Blank(h_, out);
        if (ch == kShadeGlyph) return Shade(withCoverage, out);
        if (ch == u'W') return Box(h_ / 2 + 2, h_ / 2, 0, h_ / 2, h_ / 2, withCoverage, out);
        if (ch == u'j') return Box(h_ / 3 - 1, h_ / 2 + d_, -2, h_ / 2, h_ / 2, withCoverage, out);
        if (ch > u' ' && ch < kTestFontMissing)
            return Box(h_ / 3 - 1, h_ / 2, 1, h_ / 2, h_ / 2, withCoverage, out);
        if ((ch >= 0x3001 && ch <= 0x303F) || (ch >= 0x4E00 && ch <= 0x9FFF) ||
            (ch >= 0xFF01 && ch <= 0xFF5E))
            return Box(h_ - 4, h_ - 4, 2, a - 2, h_, withCoverage, out);
        return false;
    }

private:
    static bool Blank(int advance, GlyphImage& out) {
        out.metrics.gmCellIncX = static_cast<short>(advance);
        out.hasCoverage = true;
        return true;
    }

    static bool Box(int w, int h, int ox, int oy, int advance, bool withCoverage, GlyphImage& out) {
        w = std::max(w, 1);
        h = std::max(h, 1);
        out.metrics.gmBlackBoxX = static_cast<UINT>(w);
        out.metrics.gmBlackBoxY = static_cast<UINT>(h);
        out.metrics.gmptGlyphOrigin = {ox, oy};
        out.metrics.gmCellIncX = static_cast<short>(advance);
        if (!withCoverage) return true;
        const std::size_t rowBytes = CoverageRowBytes(out.metrics.gmBlackBoxX);
        out.coverage.assign(CoverageBytes(out.metrics), 0);
        for (std::size_t r = 0; r < out.metrics.gmBlackBoxY; ++r)
            std::fill_n(out.coverage.begin() + static_cast<std::ptrdiff_t>(r * rowBytes), w, 64);
        out.hasCoverage = true;
        return true;
    }

    static bool Shade(bool withCoverage, GlyphImage& out) {
        out.metrics.gmBlackBoxX = std::size(kShadeLevels);
        out.metrics.gmBlackBoxY = 1;
        out.metrics.gmptGlyphOrigin = {0, 1};
        out.metrics.gmCellIncX = std::size(kShadeLevels);
        if (!withCoverage) return true;
        out.coverage.assign(CoverageBytes(out.metrics), 0);
        std::copy(std::begin(kShadeLevels), std::end(kShadeLevels), out.coverage.begin());
        out.hasCoverage = true;
        return true;
    }

    int h_;
    int d_;
};

std::shared_ptr<FontInstance> MakeTestFont(const FontRequest& request, std::uint32_t id) {
    const int magnitude = request.height < 0 ? -request.height : request.height;
    return std::make_shared<TestFont>(id, magnitude == 0 ? kDefaultTestHeight : magnitude);
}

} // namespace

void RegisterTestFont() {
    RegisterFontFace(kTestFontFace, MakeTestFont);
}

ScopedTestFontFace::ScopedTestFontFace(std::u16string face) : face_(std::move(face)) {
    RegisterFontFace(face_, MakeTestFont);
}

ScopedTestFontFace::~ScopedTestFontFace() {
    RegisterFontFace(face_, nullptr);
}
