#include "hosting/picture.h"

#include <algorithm>
#include <cstdint>

#include "hosting/yuv_convert.h"

namespace hosting {

std::optional<std::size_t> PackedI420Bytes(int width, int height) {
    if (width <= 0 || height <= 0) return std::nullopt;
    // Twice the luma plane bounds the whole picture.
    if (std::size_t(height) > SIZE_MAX / 2 / std::size_t(width)) return std::nullopt;
    return I420Bytes(std::size_t(width), std::size_t(height));
}

PictureView PackedI420(BYTE* data, int width, int height) {
    PictureView view;
    if (!data || !PackedI420Bytes(width, height)) return view;
    view.format = PixelFormat::I420;
    view.width = width;
    view.height = height;
    const std::size_t lumaBytes = std::size_t(width) * std::size_t(height);
    const std::size_t chromaBytes = std::size_t(ChromaSide(width)) * ChromaSide(height);
    view.planes[0] = data;
    view.planes[1] = data + lumaBytes;
    view.planes[2] = data + lumaBytes + chromaBytes;
    view.strides[0] = width;
    view.strides[1] = view.strides[2] = ChromaSide(width);
    return view;
}

std::optional<I420Picture> MakeI420Picture(int width, int height) {
    const auto bytes = PackedI420Bytes(width, height);
    if (!bytes) return std::nullopt;
    I420Picture picture{width, height, std::vector<BYTE>(*bytes, bt601::kChromaOffset)};
    std::fill_n(picture.bytes.begin(), std::size_t(width) * std::size_t(height), bt601::kYOffset);
    return picture;
}

} // namespace hosting
