#include "render/frame_view.h"

#include <climits>
#include <cstddef>
#include <cstdint>

namespace {

constexpr int kBytesPerPixel = 4;
constexpr int kAlphaByte = 3;

// Both ends of the buffer fully transparent: a canvas to draw an overlay on.
bool LooksTransparent(const BYTE* first, std::size_t bytes) {
    return first[kAlphaByte] == 0 && first[bytes - kBytesPerPixel + kAlphaByte] == 0;
}

} // namespace

FrameView HostFrameView(BYTE* pixels, int width, int height) {
    // INT_MIN has no positive counterpart: no view of it (and no buffer of 2^31 rows exists).
    if (!pixels || width <= 0 || height == 0 || height == INT_MIN) return {};
    if (width > INT_MAX / kBytesPerPixel) return {};
    const std::int64_t rows = height < 0 ? -std::int64_t{height} : std::int64_t{height};
    const int rowBytes = width * kBytesPerPixel;
    if (static_cast<std::uint64_t>(rows) > static_cast<std::uint64_t>(PTRDIFF_MAX) / rowBytes)
        return {};
    FrameView view;
    if (height > 0) {
        view = BottomUpFrame(pixels, static_cast<unsigned>(width), unsigned(height));
    } else {
        // Top-down: the picture's bottom row is the buffer's last one, and rows run backwards.
        view.bottomRow = pixels + static_cast<std::ptrdiff_t>(rows - 1) * rowBytes;
        view.width = static_cast<unsigned>(width);
        view.height = static_cast<unsigned>(rows);
        view.stride = -rowBytes;
    }
    if (view) view.withAlpha = LooksTransparent(pixels, static_cast<std::size_t>(rows) * rowBytes);
    return view;
}

FrameView BottomUpFrame(BYTE* pixels, unsigned width, unsigned height) {
    if (!pixels || width == 0 || height == 0 || width > INT_MAX / kBytesPerPixel) return {};
    if (height > INT_MAX) return {}; // rows are placed in signed 32-bit coordinates
    FrameView view;
    view.bottomRow = pixels;
    view.width = width;
    view.height = height;
    view.stride = static_cast<int>(width) * kBytesPerPixel;
    return view;
}
