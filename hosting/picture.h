// A video picture in its own pixel format, as decoders, encoders and GStreamer hand them over:
// top-down rows, a plane per component group, each with its own stride. Hosts composite the
// game onto these in place; nothing is converted for the game's sake.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/wintypes.h"

namespace hosting {

enum class PixelFormat {
    I420, // yuv420p: Y, then U and V at half width and height (rounded up)
    Nv12, // Y, then U and V interleaved at half width and height
    Bgra, // 4 bytes a pixel: blue, green, red, fourth byte
    Rgba, // 4 bytes a pixel: red, green, blue, fourth byte
};

struct PictureView {
    PixelFormat format = PixelFormat::I420;
    int width = 0;
    int height = 0;
    BYTE* planes[3] = {};           // I420: Y, U, V; NV12: Y, UV; packed formats: one
    std::ptrdiff_t strides[3] = {}; // bytes from one row of a plane to the next
};

// BT.601 studio range, as x264 and ffmpeg take yuv420p from RGB: Y = 16 + (66 R + 129 G +
// 25 B) / 256, U = 128 + (112 B − 74 G − 38 R) / 256, V = 128 + (112 R − 94 G − 18 B) / 256.
namespace bt601 {
inline constexpr int kYr = 66, kYg = 129, kYb = 25, kYOffset = 16;
inline constexpr int kUr = -38, kUg = -74, kUb = 112;
inline constexpr int kVr = 112, kVg = -94, kVb = -18;
inline constexpr int kChromaOffset = 128;
} // namespace bt601

// Planes of a chroma-subsampled picture are (side + 1) / 2 samples a side.
constexpr int ChromaSide(int side) {
    return (side + 1) / 2;
}

// Bytes of a packed I420 picture of width × height, or nothing when a side is not positive or
// the size would not fit the address space.
std::optional<std::size_t> PackedI420Bytes(int width, int height);
// The view of a packed I420 picture (planes back to back, no padding, as ffmpeg's rawvideo
// yuv420p): empty (null planes) when the size is unusable.
PictureView PackedI420(BYTE* data, int width, int height);

// A packed I420 picture that owns its bytes, as decoders hand them out and encoders take them.
struct I420Picture {
    int width = 0;
    int height = 0;
    std::vector<BYTE> bytes; // PackedI420Bytes(width, height)

    PictureView View() { return PackedI420(bytes.data(), width, height); }
};

// A black picture (studio range), or nothing when the size is unusable.
std::optional<I420Picture> MakeI420Picture(int width, int height);

} // namespace hosting
