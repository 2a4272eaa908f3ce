#include "hosting/frame.h"

#include <limits>

namespace hosting {

std::optional<std::size_t> FrameBytes(int width, int height) {
    if (width <= 0 || height <= 0) return std::nullopt;
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    constexpr std::size_t max = std::numeric_limits<std::size_t>::max();
    if (w > max / kBytesPerPixel / h) return std::nullopt;
    return w * h * kBytesPerPixel;
}

std::optional<Frame> MakeFrame(int width, int height) {
    const auto bytes = FrameBytes(width, height);
    if (!bytes) return std::nullopt;
    Frame frame;
    frame.width = width;
    frame.height = height;
    frame.pixels.assign(*bytes, 0);
    return frame;
}

} // namespace hosting
