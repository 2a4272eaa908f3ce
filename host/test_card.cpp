#include "host/test_card.h"

#include <algorithm>
#include <cstring>

namespace host {

namespace {

struct Bgr {
    BYTE b, g, r;
};

void Put(BYTE* pixel, Bgr c) {
    pixel[0] = c.b;
    pixel[1] = c.g;
    pixel[2] = c.r;
    pixel[3] = 0xFF;
}

// The seven bars of a classic card, at three-quarter intensity.
constexpr Bgr kBars[] = {
    {191, 191, 191}, {0, 191, 191}, {191, 191, 0}, {0, 191, 0},
    {191, 0, 191},   {0, 0, 191},   {191, 0, 0},
};
constexpr int kBarCount = sizeof kBars / sizeof kBars[0];

// Where a bouncing coordinate is after `steps`, within [0, span].
long Bounce(long steps, long span) {
    if (span <= 0) return 0;
    const long phase = steps % (2 * span);
    return phase <= span ? phase : 2 * span - phase;
}

} // namespace

TestCard::TestCard(int width, int height) : width_(width), height_(height) {
    auto frame = MakeFrame(width, height);
    if (!frame) return;
    backdrop_ = std::move(*frame);
    // A studio-like backdrop: deep blue at the top fading to violet at the bottom.
    for (int y = 0; y < height_; ++y) {
        const int t = height_ > 1 ? y * 255 / (height_ - 1) : 0;
        const Bgr colour{static_cast<BYTE>(90 + t / 4), static_cast<BYTE>(30 + t / 10),
                         static_cast<BYTE>(20 + t / 3)};
        BYTE* row = backdrop_.Row(y);
        for (int x = 0; x < width_; ++x)
            Put(row + x * kBytesPerPixel, colour);
    }
}

void TestCard::Draw(long index, Frame& frame) const {
    if (frame.width != width_ || frame.height != height_ || backdrop_.pixels.empty()) return;
    std::memcpy(frame.pixels.data(), backdrop_.pixels.data(), frame.pixels.size());
    DrawBars(index, frame);
    DrawBall(index, frame);
    DrawTicker(index, frame);
}

// Colour bars across the middle third, sliding left by two pixels a frame.
void TestCard::DrawBars(long index, Frame& frame) const {
    const int top = height_ / 3, bottom = height_ * 2 / 3;
    const long barWidth = std::max(1, width_ / kBarCount);
    const long shift = index * 2;
    for (int y = top; y < bottom; ++y) {
        BYTE* row = frame.Row(y);
        for (int x = 0; x < width_; ++x) {
            const long bar = ((x + shift) / barWidth) % kBarCount;
            Put(row + x * kBytesPerPixel, kBars[bar]);
        }
    }
}

// A white square bouncing around the picture.
void TestCard::DrawBall(long index, Frame& frame) const {
    const int side = std::max(2, height_ / 8);
    const long left = Bounce(index * 7, width_ - side);
    const long top = Bounce(index * 5, height_ - side);
    for (long y = top; y < top + side && y < height_; ++y) {
        BYTE* row = frame.Row(static_cast<int>(y));
        for (long x = left; x < left + side && x < width_; ++x)
            Put(row + x * kBytesPerPixel, {235, 235, 235});
    }
}

// A strip under the bars that fills up over each second (at 25 frames a second), so the time
// can be read off a still.
void TestCard::DrawTicker(long index, Frame& frame) const {
    const int top = height_ * 2 / 3 + 4;
    const int bottom = std::min(height_, top + std::max(2, height_ / 60));
    const long filled = static_cast<long>(width_) * (index % 25 + 1) / 25;
    for (int y = top; y < bottom; ++y) {
        BYTE* row = frame.Row(y);
        for (long x = 0; x < filled; ++x)
            Put(row + x * kBytesPerPixel, {40, 200, 255});
    }
}

} // namespace host
