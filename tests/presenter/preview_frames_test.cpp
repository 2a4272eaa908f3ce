#include "show/preview_frames.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = show::PreviewFrames::Clock;

TEST(PreviewFrames, CopiesFramesOnlyWhileAPageLooksAndNoFasterThanTheInterval) {
    show::PreviewFrames preview;
    std::vector<std::uint8_t> pixels(8 * 8 * 4, 0x80);
    const show::FramePixels frame{pixels.data(), 8, 8, 32};
    const Clock::time_point t0{1000s};

    preview.Offer(frame, t0);
    EXPECT_TRUE(preview.Jpeg(t0).empty()) << "a frame was kept before anyone looked";

    preview.Offer(frame, t0 + 1ms);
    const std::string first = preview.Jpeg(t0 + 2ms);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.substr(0, 2), "\xFF\xD8");

    // Within the interval the next frame is not copied: the page gets the same picture.
    std::fill(pixels.begin(), pixels.end(), 0xFF);
    preview.Offer(frame, t0 + 50ms);
    EXPECT_EQ(preview.Jpeg(t0 + 51ms), first);
    preview.Offer(frame, t0 + 120ms);
    EXPECT_NE(preview.Jpeg(t0 + 121ms), first);

    // A page that stopped asking stops the copies.
    std::fill(pixels.begin(), pixels.end(), 0x00);
    const std::string last = preview.Jpeg(t0 + 130ms);
    preview.Offer(frame, t0 + 130ms + show::kPreviewIdleAfter + 1s);
    EXPECT_EQ(preview.Jpeg(t0 + 130ms + show::kPreviewIdleAfter + 2s), last);
}

} // namespace
