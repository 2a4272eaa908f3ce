#include "adapters/obs/canvas.h"

#include <algorithm>
#include <cstring>

namespace obs_adapter {

namespace {

constexpr unsigned kOpaque = 255;
constexpr int kAlphaByte = 3;
constexpr int kColourBytes = 3;

} // namespace

std::optional<std::size_t> CanvasBytes(int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxCanvasSide || height > kMaxCanvasSide)
        return std::nullopt;
    // At most 2^14 × 2^14 × 4 × kRingFrames bytes: no product here can wrap.
    return std::size_t(width) * std::size_t(height) * kCanvasBytesPerPixel;
}

CanvasRing::CanvasRing(int width, int height) {
    const auto bytes = CanvasBytes(width, height);
    if (!bytes) return;
    width_ = width;
    height_ = height;
    bytes_ = *bytes;
    storage_.resize(bytes_ * kRingFrames);
}

std::uint8_t* CanvasRing::Next() {
    if (storage_.empty()) return nullptr;
    std::uint8_t* canvas = storage_.data() + next_ * bytes_;
    next_ = (next_ + 1) % kRingFrames;
    std::memset(canvas, 0, bytes_);
    return canvas;
}

void PremultipliedToStraight(std::uint8_t* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i, pixels += kCanvasBytesPerPixel) {
        const unsigned alpha = pixels[kAlphaByte];
        if (alpha == kOpaque) continue;
        for (int c = 0; c < kColourBytes; ++c)
            pixels[c] = alpha == 0 ? 0
                                   : static_cast<std::uint8_t>(std::min(
                                         kOpaque, (pixels[c] * kOpaque + alpha / 2) / alpha));
    }
}

} // namespace obs_adapter
