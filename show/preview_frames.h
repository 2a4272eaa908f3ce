// The output frame for the page's preview. The video thread offers every frame it sends; a copy
// is kept only while a page is looking (it asked within kPreviewIdleAfter) and at most once per
// kPreviewInterval, so a show nobody previews pays nothing. Pages get the latest copy as JPEG,
// encoded on their own thread, once per copy.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "hosting/picture.h"
#include "show/frame_jpeg.h"

namespace show {

// Ten copies a second: the page polls at least five.
inline constexpr std::chrono::milliseconds kPreviewInterval{100};
inline constexpr std::chrono::seconds kPreviewIdleAfter{3};

class PreviewFrames {
public:
    using Clock = std::chrono::steady_clock;

    // The video thread, after drawing: keeps a copy when a page is looking and the last copy is
    // older than kPreviewInterval. A frame the encoder could not read is ignored.
    void Offer(const FramePixels& frame, Clock::time_point now = Clock::now());
    // The same for a picture in its own format, converted only when a copy is kept.
    void Offer(const hosting::PictureView& picture, Clock::time_point now = Clock::now());
    // A page: the latest copy as JPEG, or an empty string when there is none yet. Counts as
    // looking.
    std::string Jpeg(Clock::time_point now = Clock::now());

private:
    // Lock held: whether a copy is due now.
    bool CopyDue(Clock::time_point now) const;
    // Lock held: makes room for a width × height copy and counts it.
    BYTE* NewCopy(int width, int height, Clock::time_point now);

    std::mutex mutex_;
    Clock::time_point lastAsked_{};
    Clock::time_point lastCopied_{};
    bool asked_ = false;
    std::vector<std::uint8_t> pixels_;
    int width_ = 0;
    int height_ = 0;
    std::uint64_t copySerial_ = 0;

    std::mutex encodeMutex_;
    std::uint64_t encodedSerial_ = 0;
    std::string jpeg_;
};

} // namespace show
