#include "game/challenge_sprites.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

#include "render/blend.h"

namespace {

constexpr int kBytesPerPixel = 4;
constexpr std::size_t kMaxImagePixels = kMaxTextSpriteBytes / kBytesPerPixel;

// Pixels in a w × h image, or 0 when either side is not positive or the image would pass the
// size every sprite image is held to.
std::size_t ImagePixels(long long w, long long h) {
    if (w <= 0 || h <= 0) return 0;
    if (static_cast<unsigned long long>(w) > kMaxImagePixels / static_cast<unsigned long long>(h))
        return 0;
    return static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
}

// Sets `count` pixels to `pixel` (stored blue, green, red, alpha).
void FillPixels(BYTE* out, std::size_t count, std::uint32_t pixel) {
    for (std::size_t i = 0; i < count; ++i)
        std::memcpy(out + i * kBytesPerPixel, &pixel, kBytesPerPixel);
}

// Makes `buffer` hold at least `pixels` pixels, replacing it only when it is too small.
bool Reserve(std::unique_ptr<BYTE[]>& buffer, std::size_t& capacity, std::size_t pixels) {
    if (buffer && capacity >= pixels) return true;
    BYTE* fresh = new (std::nothrow) BYTE[pixels * kBytesPerPixel]();
    if (!fresh) return false;
    buffer.reset(fresh);
    capacity = pixels;
    return true;
}

// Blends a w × h image with its own stride onto picture rows `row` up (counted from the bottom)
// at column `left`, clipped to the frame.
void BlendAt(const FrameView& frame, const BYTE* image, int w, int h, int left, int row) {
    if (!frame || w <= 0 || h <= 0) return;
    RECT dst{left, row, static_cast<LONG>(std::min<long long>(std::int64_t{left} + w, INT_MAX)),
             row + h};
    RECT src{0, 0, w, h};
    AlphaBlendOnto(frame, image, static_cast<unsigned>(w), static_cast<unsigned>(h),
                   w * kBytesPerPixel, &dst, &src);
}

} // namespace

// ---- CSpriteAccMark ----

bool CSpriteAccMark::PrepareBars(int length, int rows, int filled) {
    const std::size_t pixels = ImagePixels(length, rows);
    if (pixels == 0) {
        imageLength_ = imageRows_ = imageFilled_ = 0;
        return true;
    }
    // Both images share one capacity: each is at most length × rows pixels.
    std::size_t backgroundCapacity = barCapacity_, fillCapacity = barCapacity_;
    if (!Reserve(barBackground, backgroundCapacity, pixels) ||
        !Reserve(barFill, fillCapacity, pixels))
        return false;
    barCapacity_ = std::min(backgroundCapacity, fillCapacity);
    FillPixels(barBackground.get(), pixels, barBackgroundColor);
    // The fill is an image `filled` columns wide, so it ends where the bar ends at the latest.
    FillPixels(barFill.get(), static_cast<std::size_t>(filled) * static_cast<std::size_t>(rows),
               barFillColor);
    imageLength_ = length;
    imageRows_ = rows;
    imageFilled_ = filled;
    return true;
}

BOOL CSpriteAccMark::Render() {
    if (frameWidth == 0 || frameHeight == 0) return FALSE;
    FontContext font(kMarkFontFace, fontHeight);
    if (!font) return FALSE;
    const std::u16string_view number = std::u16string_view(text).substr(0, text.find(u'\0'));

    const long long newHeight = number.empty() ? 0 : font.metrics().tmHeight;
    const long long newWidth = WidthWithMargins(font.dc(), number);
    if (!CanHold(newWidth, newHeight)) return FALSE;
    const long long rows = newHeight != 0 ? newHeight : barHeight;
    const int filled = std::clamp(filledLength, 0, std::max(barLength, 0));
    if (barLength > 0 && rows > 0 && ImagePixels(barLength, rows) == 0) return FALSE;
    if (!PrepareBars(barLength, static_cast<int>(rows), filled)) return FALSE;
    barHeight = static_cast<int>(rows);
    if (!PreparePixelBuffer(newWidth, newHeight)) return FALSE;
    width = static_cast<int>(newWidth);
    height = static_cast<int>(newHeight);

    textColor = kNumberColor;
    int penX = 1;
    int baselineRow = font.metrics().tmDescent;
    for (char16_t ch : number)
        RenderGlyph(font.dc(), ch, &penX, &baselineRow);
    return TRUE;
}

BOOL CSpriteAccMark::DrawOnFrame(const FrameView& frame) {
    if (barBackground && barFill) {
        BlendAt(frame, barBackground.get(), imageLength_, imageRows_, x, kBottomRow);
        BlendAt(frame, barFill.get(), imageFilled_, imageRows_, x, kBottomRow);
    }
    // The number sits right-aligned on the bar's right end; one wider than the layout is left out.
    if (pixels && width <= frameWidth)
        BlendAt(frame, pixels.get(), width, height, x + imageLength_ - width, kBottomRow);
    return TRUE;
}

// ---- CSpriteBottomBK ----

BOOL CSpriteBottomBK::Render() {
    if (frameWidth == 0) return FALSE;
    const std::size_t pixels = ImagePixels(frameWidth, bandHeight);
    if (pixels == 0 && bandHeight > 0) return FALSE;
    if (pixels > 0) {
        if (!Reserve(band, bandCapacity_, pixels)) return FALSE;
        FillPixels(band.get(), pixels, bandColor);
    }
    bandWidth_ = pixels > 0 ? frameWidth : 0;
    bandRows_ = pixels > 0 ? bandHeight : 0;
    return TRUE;
}

BOOL CSpriteBottomBK::DrawOnFrame(const FrameView& frame) {
    if (!band || !frame) return TRUE;
    // A frame narrower or lower than the band takes the part of it that fits.
    const int w = static_cast<int>(std::min<unsigned>(unsigned(bandWidth_), frame.width));
    const int h = static_cast<int>(std::min<unsigned>(unsigned(bandRows_), frame.height));
    if (w <= 0 || h <= 0) return TRUE;
    RECT dst{0, 0, w, h};
    RECT src{0, 0, w, h};
    AlphaBlendOnto(frame, band.get(), static_cast<unsigned>(bandWidth_),
                   static_cast<unsigned>(bandRows_), bandWidth_ * kBytesPerPixel, &dst, &src);
    return TRUE;
}
