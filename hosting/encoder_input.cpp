#include "hosting/encoder_input.h"

#include <climits>

#include "hosting/yuv_convert.h"

namespace hosting {

// Conversions take sizes and strides as int; a frame whose pixels match its size cannot
// overflow the plane sizes below, which together are smaller than its 4 bytes a pixel.
bool EncoderInput::Fits(const Frame& frame) const {
    return frame.width == width_ && frame.height == height_ &&
           frame.width <= INT_MAX / kBytesPerPixel &&
           FrameBytes(frame.width, frame.height) == frame.pixels.size();
}

const char* EncoderInput::PixelFormat() {
    return "yuv420p";
}

std::span<const BYTE> EncoderInput::Bytes(const Frame& frame) {
    if (!Fits(frame)) return {};
    converted_.resize(I420Bytes(std::size_t(frame.width), std::size_t(frame.height)));
    BgraToI420(frame.pixels.data(), frame.width, frame.height, converted_.data());
    return converted_;
}

} // namespace hosting
