// Whole-picture conversions between the host's BGRA frames and I420 (yuv420p: a Y plane, then
// U and V at half width and height), BT.601 studio range as ffmpeg and x264 expect. libyuv does
// them where the build has it, vectorised; plain loops otherwise.
#pragma once

#include <cstddef>

#include "hosting/picture.h"
#include "platform/wintypes.h"

namespace hosting {

// Bytes of an I420 picture of even `width` × `height`.
constexpr std::size_t I420Bytes(std::size_t width, std::size_t height) {
    return width * height + 2 * ((width + 1) / 2) * ((height + 1) / 2);
}

// `bgra` rows are `width` × 4 bytes, top-down; `i420` holds I420Bytes(width, height).
void BgraToI420(const BYTE* bgra, int width, int height, BYTE* i420);
void I420ToBgra(const BYTE* i420, int width, int height, BYTE* bgra);
// Any picture as top-down BGRA of width × 4 bytes a row, opaque where the picture has no
// fourth byte.
void PictureToBgra(const PictureView& picture, BYTE* bgra);

} // namespace hosting
