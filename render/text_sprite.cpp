#include "render/text_sprite.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "render/blend.h"
#include "render/placement.h"

namespace {

constexpr MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
constexpr int kBytesPerPixel = 4;

// GDI's 65 coverage levels to alpha. (g × 255) / 65 spreads levels 0..63 over 0..247 with
// integer division, and only the full level 64 is fully opaque: 1 → 3, 32 → 125, 63 → 247,
// 64 → 255.
constexpr BYTE AlphaForLevel(unsigned g) {
    return g >= 64 ? 255 : static_cast<BYTE>((g * 255) / 65);
}

int SaturatedAdd(int a, long long b) {
    return static_cast<int>(std::clamp<long long>(a + b, INT_MIN, INT_MAX));
}

std::u16string_view UpToNul(std::u16string_view s) {
    return s.substr(0, s.find(u'\0'));
}

// Sets `count` pixels to `pixel` (stored little-endian: blue, green, red, alpha), doubling the
// filled stretch with each copy.
void FillPixels(BYTE* out, std::size_t count, std::uint32_t pixel) {
    if (count == 0) return;
    const std::size_t total = count * kBytesPerPixel;
    std::memcpy(out, &pixel, kBytesPerPixel);
    for (std::size_t done = kBytesPerPixel; done < total; done *= 2)
        std::memcpy(out + done, out, std::min(done, total - done));
}

std::uint32_t PixelOf(std::uint32_t color, BYTE alpha) {
    return (color & 0x00FFFFFFu) | (std::uint32_t{alpha} << 24);
}

} // namespace

// ---- FontContext ----

CSpriteTextShowBase::FontContext::FontContext(const std::u16string& face, int height) {
    screen_ = GetDC(nullptr);
    memory_ = screen_ ? CreateCompatibleDC(screen_) : nullptr;
    if (!memory_) return;
    font_ =
        CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                    OUT_CHARACTER_PRECIS, CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, 0, face.c_str());
    if (!font_) return;
    previous_ = SelectObject(memory_, font_);
    SetBkMode(memory_, TRANSPARENT);
    ready_ = previous_ && GetTextMetricsW(memory_, &metrics_);
}

CSpriteTextShowBase::FontContext::~FontContext() {
    if (previous_) SelectObject(memory_, previous_);
    if (font_) DeleteObject(font_);
    if (memory_) DeleteDC(memory_);
    if (screen_) ReleaseDC(nullptr, screen_);
}

// ---- Setters ----

void CSpriteTextShowBase::SetFrameSize(std::uint16_t width, std::uint16_t height) {
    frameWidth = width;
    frameHeight = height;
}

// ---- Rendering ----

BOOL CSpriteTextShowBase::Render() {
    if (frameWidth == 0 || frameHeight == 0) return FALSE;
    FontContext font(fontFace, fontHeight);
    if (!font) return FALSE;
    const std::u16string_view line = UpToNul(text);

    long long newHeight = fontHeight / 2 + static_cast<long long>(font.metrics().tmHeight);
    long long newWidth = WidthWithMargins(font.dc(), line);
    if (text.empty()) newHeight = 0;
    if (!CanHold(newWidth, newHeight) || !PreparePixelBuffer(newWidth, newHeight)) return FALSE;
    width = static_cast<int>(newWidth);
    height = static_cast<int>(newHeight);
    FillBackground();

    // The baseline sits a quarter of the font height plus the descent above the bottom edge;
    // the pen starts one column in, leaving a margin column on each side.
    int baselineRow = fontHeight / 4 + font.metrics().tmDescent;
    int penX = 1;
    for (char16_t ch : line)
        RenderGlyph(font.dc(), ch, &penX, &baselineRow);
    return TRUE;
}

long long CSpriteTextShowBase::WidthWithMargins(HDC dc, std::u16string_view text) {
    const long long width = MeasureText(dc, text) + 2LL;
    if (width >= 0) return width;
    SIZE extent{};
    const int count = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
    GetTextExtentPoint32W(dc, text.data(), count, &extent);
    return extent.cx + 2LL;
}

int CSpriteTextShowBase::MeasureText(HDC dc, std::u16string_view text) {
    long long total = 0;
    for (char16_t ch : UpToNul(text)) {
        GLYPHMETRICS gm{};
        if (GetGlyphOutlineW(dc, ch, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &kIdentity) != GDI_ERROR)
            total += gm.gmCellIncX;
    }
    return static_cast<int>(std::clamp<long long>(total, INT_MIN, INT_MAX));
}

void CSpriteTextShowBase::RenderGlyph(HDC dc, char16_t ch, int* penX, int* baselineRow) {
    if (!penX || !baselineRow) return;
    GLYPHMETRICS gm{};
    const DWORD size = GetGlyphOutlineW(dc, ch, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &kIdentity);
    if (size == GDI_ERROR) return;
    if (size > 0) {
        if (glyphBitmap_.size() < size) glyphBitmap_.resize(size);
        if (GetGlyphOutlineW(dc, ch, GGO_GRAY8_BITMAP, &gm, size, glyphBitmap_.data(),
                             &kIdentity) == GDI_ERROR)
            return;
    }
    const std::size_t rowBytes = (std::size_t{gm.gmBlackBoxX} + 3) & ~std::size_t{3};
    const long long boxHeight = gm.gmBlackBoxY;
    if (size > 0 && size >= rowBytes * gm.gmBlackBoxY && pixels && width > 0 && height > 0) {
        UpdatePixelTable();
        // Rows that fit the buffer: `height`, unless the buffer is smaller than the layout.
        const long long capacityRows =
            static_cast<long long>(CapacityBytes() / (std::size_t{unsigned(width)} * 4));
        const long long rows = std::min<long long>(height, capacityRows);
        // A box reaching below the bottom edge is moved up, not cut.
        const long long bottom =
            std::max(0LL, static_cast<long long>(*baselineRow) - boxHeight + gm.gmptGlyphOrigin.y);
        const long long left = static_cast<long long>(*penX) + gm.gmptGlyphOrigin.x;
        // Columns of the padded row that land inside the sprite; the rest is clipped.
        const long long firstCol = std::max(0LL, -left);
        const long long endCol = std::min(static_cast<long long>(rowBytes), width - left);
        for (long long r = 0; r < boxHeight && firstCol < endCol; ++r) {
            const long long row = bottom + boxHeight - 1 - r;
            if (row < 0 || row >= rows) continue;
            const std::size_t first = static_cast<std::size_t>(row * width + left + firstCol);
            BYTE* out = pixels.get() + first * kBytesPerPixel;
            const BYTE* in = glyphBitmap_.data() + r * static_cast<long long>(rowBytes) + firstCol;
            for (long long j = 0; j < endCol - firstCol; ++j, out += kBytesPerPixel)
                std::memcpy(out, &pixelFor_[in[j]], kBytesPerPixel);
            if (pixels.get() == trackedPixels_)
                dirtyBytes_ = std::max(dirtyBytes_, static_cast<std::size_t>(out - pixels.get()));
        }
    }
    *penX = SaturatedAdd(*penX, gm.gmCellIncX);
}

void CSpriteTextShowBase::UpdatePixelTable() {
    if (pixelForReady_ && pixelForColor_ == textColor) return;
    for (unsigned g = 0; g < pixelFor_.size(); ++g)
        pixelFor_[g] = PixelOf(textColor, AlphaForLevel(g));
    pixelForColor_ = textColor;
    pixelForReady_ = true;
}

// ---- Buffers ----

bool CSpriteTextShowBase::CanHold(long long w, long long h) const {
    if (w < 0 || h < 0 || w > INT_MAX || h > INT_MAX) return false;
    const unsigned long long limitPixels = kMaxTextSpriteBytes / kBytesPerPixel;
    if (h > 0 && static_cast<unsigned long long>(w) > limitPixels / h) return false;
    return h == 0 || frameWidth <= limitPixels / h;
}

std::size_t CSpriteTextShowBase::CapacityBytes() const {
    if (pixels && pixels.get() == trackedPixels_) return trackedCapacity_;
    // A buffer stored from outside: trust the base sprite's contract, width × height.
    return pixels ? std::size_t{unsigned(std::max(width, 0))} * unsigned(std::max(height, 0)) *
                        kBytesPerPixel
                  : 0;
}

bool CSpriteTextShowBase::PreparePixelBuffer(long long w, long long h) {
    if (frameWidth == 0 || frameHeight == 0 || !CanHold(w, h)) return false;
    const std::size_t needed =
        static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * kBytesPerPixel;
    const bool ours = pixels && pixels.get() == trackedPixels_;
    if (!ours || needed > trackedCapacity_) {
        // Whole frame pages: the buffer seldom needs replacing as texts change.
        const std::size_t pagePixels = std::size_t{frameWidth} * frameHeight;
        const std::size_t pages = needed / kBytesPerPixel / pagePixels + 1;
        if (pages > kMaxTextSpriteBytes / kBytesPerPixel / pagePixels) return false;
        const std::size_t bytes = pages * pagePixels * kBytesPerPixel;
        BYTE* fresh = new (std::nothrow) BYTE[bytes](); // zeroed
        if (!fresh) return false;
        pixels.reset(fresh);
        bufferPages = static_cast<int>(pages);
        trackedPixels_ = fresh;
        trackedCapacity_ = bytes;
        dirtyBytes_ = 0;
        return true;
    }
    // Everything past dirtyBytes_ is still zero from the last clear, so clearing the written
    // prefix leaves the whole capacity zero.
    std::memset(pixels.get(), 0, std::min(dirtyBytes_, trackedCapacity_));
    dirtyBytes_ = 0;
    return true;
}

BOOL CSpriteTextShowBase::FillBackground() {
    const bool fits = height > 0 && frameWidth > 0 && CanHold(frameWidth, height);
    const std::size_t count = fits ? std::size_t{frameWidth} * static_cast<std::size_t>(height) : 0;
    // A band of the same size is refilled in place: same result, no allocation.
    if (!background || bandPixels_ != count) {
        background.reset();
        bandPixels_ = 0;
        if (count == 0) return TRUE;
        background.reset(new (std::nothrow) BYTE[count * kBytesPerPixel]);
        if (!background) return TRUE;
        bandPixels_ = count;
    }
    FillPixels(background.get(), count, backgroundColor);
    return TRUE;
}

// ---- Drawing ----

BOOL CSpriteTextShowBase::DrawOnFrame(const FrameView& frame) {
    if (!visible) return FALSE;
    if (!frame || width < 0 || height < 0 || width > INT_MAX / kBytesPerPixel) return TRUE;
    const int bandStride = frameWidth * kBytesPerPixel;
    // The band is drawn only while it still matches the sprite's height and the layout's width.
    if (background && bandPixels_ >= std::size_t{frameWidth} * unsigned(height)) {
        BlendRects band = PlaceSprite(x, y, width, height, static_cast<int>(frame.height));
        AlphaBlendOnto(frame, background.get(), frameWidth, static_cast<unsigned>(height),
                       bandStride, &band.dst, &band.src);
    }
    if (CapacityBytes() < std::size_t{unsigned(width)} * unsigned(height) * kBytesPerPixel)
        return TRUE;
    // A text wider than the layout shows its first frameWidth columns from the left edge.
    const bool cut = width > frameWidth;
    BlendRects text = PlaceSprite(cut ? 0 : x, y, cut ? frameWidth : width, height,
                                  static_cast<int>(frame.height));
    AlphaBlendOnto(frame, pixels.get(), static_cast<unsigned>(width), static_cast<unsigned>(height),
                   width * kBytesPerPixel, &text.dst, &text.src);
    return TRUE;
}

// ---- Rendering to one side ----

void CSpriteTextShowBase::CopySettingsFrom(const CSpriteTextShowBase& other) {
    frameWidth = other.frameWidth;
    frameHeight = other.frameHeight;
    fontFace = other.fontFace;
    backgroundColor = other.backgroundColor;
    fontHeight = other.fontHeight;
    textColor = other.textColor;
    visible = other.visible;
    x = other.x;
    y = other.y;
}

bool CSpriteTextShowBase::HasSettingsOf(const CSpriteTextShowBase& other) const {
    return frameWidth == other.frameWidth && frameHeight == other.frameHeight &&
           fontFace == other.fontFace && backgroundColor == other.backgroundColor &&
           fontHeight == other.fontHeight && textColor == other.textColor;
}

void CSpriteTextShowBase::SwapRendering(CSpriteTextShowBase& other) noexcept {
    using std::swap;
    swap(pixels, other.pixels);
    swap(width, other.width);
    swap(height, other.height);
    swap(x, other.x);
    swap(y, other.y);
    swap(text, other.text);
    swap(background, other.background);
    swap(bufferPages, other.bufferPages);
    // What each buffer holds travels with it.
    swap(trackedPixels_, other.trackedPixels_);
    swap(trackedCapacity_, other.trackedCapacity_);
    swap(dirtyBytes_, other.dirtyBytes_);
    swap(bandPixels_, other.bandPixels_);
}
