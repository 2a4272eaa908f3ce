// What an encoding ffmpeg is fed. Converting the host's BGRA frames to yuv420p here (libyuv,
// vectorised, where the build has it) leaves ffmpeg nothing to do but encode: its own
// conversion runs on one thread ahead of x264 and caps a 1920×1080 stream near 90 frames a
// second on two cores, and the pipe carries 1.5 bytes a pixel instead of 4.
#pragma once

#include <span>
#include <vector>

#include "hosting/frame.h"

namespace hosting {

class EncoderInput {
public:
    EncoderInput() = default;
    // Feeds a video of this size; frames of any other size are refused.
    EncoderInput(int width, int height) : width_(width), height_(height) {}

    // ffmpeg's name for the pixel format Bytes() gives: "yuv420p".
    static const char* PixelFormat();
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The frame in that format (yuv420p: the Y plane, then U and V at half width and height,
    // BT.601 studio range, as ffmpeg's own conversion makes); valid until the next call. Empty
    // for a frame of another size than the video's, or whose pixels do not match its size.
    std::span<const BYTE> Bytes(const Frame& frame);

private:
    bool Fits(const Frame& frame) const;

    int width_ = 0;
    int height_ = 0;
    std::vector<BYTE> converted_;
};

} // namespace hosting
