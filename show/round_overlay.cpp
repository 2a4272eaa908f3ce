#include "show/round_overlay.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi.h"

namespace show {

namespace {

constexpr char16_t kSansFace[] = u"Sans";
constexpr char16_t kCjkFace[] = u"宋体";
// The clock's digits take this part of the picture's height, within these bounds in pixels.
constexpr int kCellDivisor = 14;
constexpr int kSmallestCell = 12, kLargestCell = 160;
// A moment's name is cut here: a line, not a paragraph.
constexpr std::size_t kMomentUnits = 40;
// Where a moment stands, in hundredths of the picture's height from the top.
constexpr int kMomentPercent = 40;

constexpr BYTE kBoxAlpha = 0xB8;
constexpr BYTE kMomentAlpha = 0xD8;
constexpr std::uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF, kClosedRed = 0xFF7070;
constexpr std::uint32_t kTrack = 0x505050;
constexpr std::uint32_t kPlenty = 0x3CC85A, kHalfGone = 0xF0B428, kRunningOut = 0xE84040;
constexpr std::uint32_t kMomentGreen = 0x1E7D32;

// A font selected into a memory context, for as long as it lives.
class Font {
public:
    Font(const char16_t* face, int cellHeight) {
        screen_ = GetDC(nullptr);
        memory_ = screen_ ? CreateCompatibleDC(screen_) : nullptr;
        if (!memory_) return;
        font_ = CreateFontW(cellHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_CHARACTER_PRECIS, CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, 0, face);
        if (font_) previous_ = SelectObject(memory_, font_);
        ready_ = previous_ && GetTextMetricsW(memory_, &metrics_);
    }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    ~Font() {
        if (previous_) SelectObject(memory_, previous_);
        if (font_) DeleteObject(font_);
        if (memory_) DeleteDC(memory_);
        if (screen_) ReleaseDC(nullptr, screen_);
    }
    explicit operator bool() const { return ready_; }
    HDC dc() const { return memory_; }
    const TEXTMETRICW& metrics() const { return metrics_; }

private:
    HDC screen_ = nullptr, memory_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    TEXTMETRICW metrics_{};
    bool ready_ = false;
};

struct Glyph {
    GLYPHMETRICS metrics{};
    std::vector<BYTE> bits; // rows padded to 4 bytes, top first
    int ascent = 0;         // of the font it came from
};

bool LoadGlyph(const Font& font, char16_t ch, Glyph& glyph) {
    if (!font) return false;
    static constexpr MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    const DWORD size =
        GetGlyphOutlineW(font.dc(), ch, GGO_GRAY8_BITMAP, &glyph.metrics, 0, nullptr, &kIdentity);
    if (size == GDI_ERROR) return false;
    glyph.bits.assign(size, 0);
    if (size > 0 && GetGlyphOutlineW(font.dc(), ch, GGO_GRAY8_BITMAP, &glyph.metrics, size,
                                     glyph.bits.data(), &kIdentity) == GDI_ERROR)
        return false;
    glyph.ascent = font.metrics().tmAscent;
    return true;
}

// A picture row counted from the top, wherever the frame keeps it.
BYTE* PixelAt(BYTE* pixels, int width, int height, int x, int y) {
    const int rows = std::abs(height);
    const int row = height > 0 ? rows - 1 - y : y;
    return pixels + (static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + x) * 4;
}

// Lays `colour` over a pixel with `alpha` (0 to 255): colour as the plug-in blends it, alpha
// as coverage adds up, so a transparent canvas shows the box too.
void Lay(BYTE* pixel, std::uint32_t colour, unsigned alpha) {
    const BYTE channels[3] = {BYTE(colour), BYTE(colour >> 8), BYTE(colour >> 16)};
    for (int c = 0; c < 3; ++c)
        pixel[c] = BYTE((pixel[c] * (255 - alpha) + channels[c] * alpha + 127) / 255);
    pixel[3] = BYTE(pixel[3] + ((255 - pixel[3]) * alpha + 127) / 255);
}

int Digits(int number) {
    int digits = 1;
    while (number >= 10) {
        number /= 10;
        ++digits;
    }
    return digits;
}

} // namespace

TextCoverage RasteriseText(std::u16string_view text, int cellHeight) {
    const Font sans(kSansFace, cellHeight), cjk(kCjkFace, cellHeight);
    std::vector<Glyph> glyphs;
    int width = 0, ascent = 0, height = 0;
    for (const char16_t ch : text) {
        Glyph glyph;
        if (!LoadGlyph(sans, ch, glyph) && !LoadGlyph(cjk, ch, glyph)) continue;
        width += std::max<int>(glyph.metrics.gmCellIncX, 0);
        ascent = std::max(ascent, glyph.ascent);
        glyphs.push_back(std::move(glyph));
    }
    for (const Font* font : {&sans, &cjk})
        if (*font) height = std::max<int>(height, font->metrics().tmHeight);
    TextCoverage coverage;
    if (width <= 0 || height <= 0) return coverage;
    coverage.width = width;
    coverage.height = height;
    coverage.levels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    int pen = 0;
    for (const Glyph& glyph : glyphs) {
        const GLYPHMETRICS& m = glyph.metrics;
        const std::size_t stride = (std::size_t{m.gmBlackBoxX} + 3) & ~std::size_t{3};
        for (UINT r = 0; r < m.gmBlackBoxY && !glyph.bits.empty(); ++r)
            for (UINT c = 0; c < m.gmBlackBoxX; ++c) {
                const int x = pen + m.gmptGlyphOrigin.x + int(c);
                const int y = ascent - m.gmptGlyphOrigin.y + int(r);
                if (x < 0 || x >= width || y < 0 || y >= height) continue;
                BYTE& level = coverage.levels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
                level = std::max(level, glyph.bits[r * stride + c]);
            }
        pen += std::max<int>(m.gmCellIncX, 0);
    }
    return coverage;
}

namespace {

// Boxes and texts on a picture, cut by its edges.
struct Canvas {
    BYTE* pixels;
    int width, height;

    void Fill(int x, int y, int w, int h, std::uint32_t colour, unsigned alpha) const {
        const int rows = std::abs(height);
        for (int row = std::max(y, 0); row < std::min(y + h, rows); ++row)
            for (int col = std::max(x, 0); col < std::min(x + w, width); ++col)
                Lay(PixelAt(pixels, width, height, col, row), colour, alpha);
    }
    void Stamp(int x, int y, const TextCoverage& text, std::uint32_t colour) const {
        const int rows = std::abs(height);
        for (int r = std::max(0, -y); r < text.height && y + r < rows; ++r)
            for (int c = std::max(0, -x); c < text.width && x + c < width; ++c) {
                const unsigned level =
                    text.levels[std::size_t(r) * std::size_t(text.width) + std::size_t(c)];
                if (level > 0)
                    Lay(PixelAt(pixels, width, height, x + c, y + r), colour,
                        (level * 255 + GGO_GRAY8_LEVELS / 2) / (GGO_GRAY8_LEVELS - 1));
            }
    }
};

} // namespace

void RoundOverlay::Draw(BYTE* pixels, int width, int height, const ClockView& clock,
                        const std::u16string& moment) {
    if (!pixels || width <= 0 || height == 0) return;
    const int cell = std::clamp(std::abs(height) / kCellDivisor, kSmallestCell, kLargestCell);
    if (cell != cellHeight_) {
        cellHeight_ = cell;
        digitsShown_.clear();
        momentShown_.clear();
        boxDigits_ = 0;
    }
    const Picture picture{pixels, width, height};
    if (clock.shown) DrawClock(picture, clock);
    if (!moment.empty()) DrawMoment(picture, moment);
}

void RoundOverlay::DrawClock(const Picture& picture, const ClockView& clock) {
    const int number = clock.open ? int(std::ceil(std::max(clock.left, 0.0))) : 0;
    const std::u16string shown = [number] {
        std::u16string digits;
        for (const char c : std::to_string(number))
            digits.push_back(char16_t(c));
        return digits;
    }();
    if (shown != digitsShown_) {
        digits_ = RasteriseText(shown, cellHeight_);
        digitsShown_ = shown;
    }
    // The box is as wide as the clock's longest number, so it stands still as seconds go.
    const int digits = Digits(std::max(clock.seconds, number));
    if (digits != boxDigits_) {
        boxDigits_ = digits;
        boxTextWidth_ = RasteriseText(std::u16string(std::size_t(digits), u'0'), cellHeight_).width;
    }
    const int pad = cellHeight_ / 3;
    const int bar = std::max(3, cellHeight_ / 6);
    const int inner = std::max({boxTextWidth_, digits_.width, cellHeight_ * 2});
    const int boxWidth = inner + 2 * pad, boxHeight = cellHeight_ + bar + 3 * pad;
    const int x = picture.width - cellHeight_ / 2 - boxWidth, y = cellHeight_ / 2;

    const Canvas canvas{picture.pixels, picture.width, picture.height};
    canvas.Fill(x, y, boxWidth, boxHeight, kBlack, kBoxAlpha);
    canvas.Stamp(x + (boxWidth - digits_.width) / 2, y + pad, digits_,
                 clock.open ? kWhite : kClosedRed);
    const int barY = y + 2 * pad + cellHeight_;
    canvas.Fill(x + pad, barY, inner, bar, kTrack, 255);
    const double part =
        clock.open && clock.seconds > 0 ? std::clamp(clock.left / clock.seconds, 0.0, 1.0) : 0.0;
    const std::uint32_t colour = part > 0.5 ? kPlenty : part > 0.2 ? kHalfGone : kRunningOut;
    canvas.Fill(x + pad, barY, int(std::lround(inner * part)), bar, colour, 255);
}

void RoundOverlay::DrawMoment(const Picture& picture, const std::u16string& moment) {
    if (moment != momentShown_) {
        moment_ = RasteriseText(std::u16string_view(moment).substr(0, kMomentUnits),
                                cellHeight_ + cellHeight_ / 5);
        momentShown_ = moment;
    }
    if (moment_.width == 0) return;
    const int pad = cellHeight_ / 3;
    const int boxWidth = moment_.width + 4 * pad, boxHeight = moment_.height + 2 * pad;
    const int x = (picture.width - boxWidth) / 2;
    const int y = std::abs(picture.height) * kMomentPercent / 100 - boxHeight / 2;
    const Canvas canvas{picture.pixels, picture.width, picture.height};
    canvas.Fill(x, y, boxWidth, boxHeight, kMomentGreen, kMomentAlpha);
    canvas.Stamp(x + 2 * pad, y + pad, moment_, kWhite);
}

} // namespace show
