#include "adapters/obs/canvas.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace obs_adapter {

namespace {

constexpr unsigned kOpaque = 255;
constexpr int kAlphaByte = 3;
constexpr int kColourBytes = 3;

// colour × 255 / alpha, rounded, as a multiplication: 255 × 2^16 / alpha rounded up, which
// gives the same byte as the division for every colour and alpha (255 × that scale < 2^32).
constexpr int kScaleBits = 16;
constexpr std::uint32_t kScaleHalf = 1u << (kScaleBits - 1);
constexpr auto kStraightScale = [] {
    std::array<std::uint32_t, 256> scale{};
    for (std::uint32_t alpha = 1; alpha < scale.size(); ++alpha)
        scale[alpha] = ((kOpaque << kScaleBits) + alpha - 1) / alpha;
    return scale;
}();

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
        // Uncovered pixels are still black (nothing drew on them), covered ones need nothing.
        if (alpha == 0 || alpha == kOpaque) continue;
        const std::uint32_t scale = kStraightScale[alpha];
        for (int c = 0; c < kColourBytes; ++c)
            pixels[c] = static_cast<std::uint8_t>(
                std::min<std::uint32_t>(kOpaque, (pixels[c] * scale + kScaleHalf) >> kScaleBits));
    }
}

} // namespace obs_adapter
