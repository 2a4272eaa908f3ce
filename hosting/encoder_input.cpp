#include "hosting/encoder_input.h"

#include <climits>

#ifdef ASKGAME_HAVE_LIBYUV
#include <libyuv/convert.h>
#endif

namespace hosting {

// libyuv takes sizes and strides as int; a frame whose pixels match its size cannot overflow
// the plane sizes below, which together are smaller than its 4 bytes a pixel.
bool EncoderInput::Fits(const Frame& frame) const {
    return frame.width == width_ && frame.height == height_ &&
           frame.width <= INT_MAX / kBytesPerPixel &&
           FrameBytes(frame.width, frame.height) == frame.pixels.size();
}

#ifdef ASKGAME_HAVE_LIBYUV

const char* EncoderInput::PixelFormat() {
    return "yuv420p";
}

std::span<const BYTE> EncoderInput::Bytes(const Frame& frame) {
    if (!Fits(frame)) return {};
    const std::size_t lumaBytes = std::size_t(frame.width) * std::size_t(frame.height);
    const int chromaWidth = (frame.width + 1) / 2;
    const std::size_t chromaBytes = std::size_t(chromaWidth) * std::size_t((frame.height + 1) / 2);
    converted_.resize(lumaBytes + 2 * chromaBytes);
    BYTE* y = converted_.data();
    BYTE* u = y + lumaBytes;
    BYTE* v = u + chromaBytes;
    // libyuv's "ARGB" is a little-endian word: B, G, R, A in memory, the host's order.
    libyuv::ARGBToI420(frame.pixels.data(), int(frame.RowBytes()), y, frame.width, u, chromaWidth,
                       v, chromaWidth, frame.width, frame.height);
    return converted_;
}

#else

const char* EncoderInput::PixelFormat() {
    return "bgra";
}

std::span<const BYTE> EncoderInput::Bytes(const Frame& frame) {
    if (!Fits(frame)) return {};
    return frame.pixels;
}

#endif

} // namespace hosting
