#include "show/preview_frames.h"

#include <cstring>

#include "hosting/yuv_convert.h"

namespace show {

void PreviewFrames::Offer(const FramePixels& frame, Clock::time_point now) {
    if (!frame.firstRow || frame.width <= 0 || frame.height <= 0) return;
    const std::size_t rowBytes = static_cast<std::size_t>(frame.width) * 4;
    if (static_cast<std::size_t>(frame.stride < 0 ? -frame.stride : frame.stride) < rowBytes)
        return;
    std::lock_guard lock(mutex_);
    if (!CopyDue(now)) return;
    BYTE* copy = NewCopy(frame.width, frame.height, now);
    for (int y = 0; y < frame.height; ++y)
        std::memcpy(copy + rowBytes * static_cast<std::size_t>(y),
                    frame.firstRow + frame.stride * static_cast<std::ptrdiff_t>(y), rowBytes);
}

void PreviewFrames::Offer(const hosting::PictureView& picture, Clock::time_point now) {
    if (!picture.planes[0] || picture.width <= 0 || picture.height <= 0) return;
    std::lock_guard lock(mutex_);
    if (!CopyDue(now)) return;
    hosting::PictureToBgra(picture, NewCopy(picture.width, picture.height, now));
}

bool PreviewFrames::CopyDue(Clock::time_point now) const {
    if (!asked_ || now - lastAsked_ > kPreviewIdleAfter) return false;
    return copySerial_ == 0 || now - lastCopied_ >= kPreviewInterval;
}

BYTE* PreviewFrames::NewCopy(int width, int height, Clock::time_point now) {
    pixels_.resize(static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(height));
    width_ = width;
    height_ = height;
    lastCopied_ = now;
    ++copySerial_;
    return pixels_.data();
}

std::string PreviewFrames::Jpeg(Clock::time_point now) {
    // One page encodes at a time; the others wait for it and take the same picture.
    std::lock_guard encoding(encodeMutex_);
    std::vector<std::uint8_t> copy;
    int width = 0, height = 0;
    std::uint64_t serial = 0;
    {
        std::lock_guard lock(mutex_);
        asked_ = true;
        lastAsked_ = now;
        serial = copySerial_;
        if (serial == encodedSerial_) return jpeg_;
        copy = pixels_;
        width = width_;
        height = height_;
    }
    jpeg_ = EncodeJpeg({copy.data(), width, height, static_cast<std::ptrdiff_t>(width) * 4});
    encodedSerial_ = serial;
    return jpeg_;
}

} // namespace show
