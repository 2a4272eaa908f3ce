// A video frame as the host handles it: BGRA pixels, 4 bytes each, rows top-down, no padding.
// The plug-in is handed it as it is, with a negative height saying the rows run top-down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/wintypes.h"

namespace hosting {

inline constexpr int kBytesPerPixel = 4;

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<BYTE> pixels; // width × height × 4 bytes

    BYTE* Row(int y) { return pixels.data() + static_cast<std::size_t>(y) * RowBytes(); }
    const BYTE* Row(int y) const {
        return pixels.data() + static_cast<std::size_t>(y) * RowBytes();
    }
    std::size_t RowBytes() const { return static_cast<std::size_t>(width) * kBytesPerPixel; }
};

// Bytes of a width × height frame, or nothing when a side is not positive or the size
// overflows.
std::optional<std::size_t> FrameBytes(int width, int height);
// A black frame, or nothing when the size is unusable.
std::optional<Frame> MakeFrame(int width, int height);

} // namespace hosting
