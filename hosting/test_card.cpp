#include "hosting/test_card.h"

#include <algorithm>
#include <cstring>

namespace hosting {

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
constexpr Bgr kBallColour{235, 235, 235};
constexpr Bgr kTickerColour{40, 200, 255};
constexpr long kBarSpeed = 2;      // pixels a frame the bars slide left
constexpr long kBallSpeedX = 7;    // pixels a frame the ball moves across
constexpr long kBallSpeedY = 5;    // and down
constexpr long kTickerFrames = 25; // the ticker fills up over this many frames
constexpr int kTickerGap = 4;      // rows between the bars and the ticker

// Where a bouncing coordinate is after `steps`, within [0, span].
long Bounce(long steps, long span) {
    if (span <= 0) return 0;
    const long phase = steps % (2 * span);
    return phase <= span ? phase : 2 * span - phase;
}

std::vector<BYTE> Row(long pixels, Bgr colour) {
    std::vector<BYTE> row(static_cast<std::size_t>(pixels) * kBytesPerPixel);
    for (long x = 0; x < pixels; ++x)
        Put(row.data() + x * kBytesPerPixel, colour);
    return row;
}

// Copies pixels [from, to) of `source` into the same place of `row`.
void Span(BYTE* row, const BYTE* source, long from, long to) {
    if (to > from)
        std::memcpy(row + from * kBytesPerPixel, source + from * kBytesPerPixel,
                    static_cast<std::size_t>(to - from) * kBytesPerPixel);
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
    // Colour bars across the middle third.
    barsTop_ = height_ / 3;
    barsBottom_ = height_ * 2 / 3;
    const long barWidth = std::max(1, width_ / kBarCount);
    barPeriod_ = barWidth * kBarCount;
    bars_.resize(static_cast<std::size_t>(width_ + barPeriod_) * kBytesPerPixel);
    for (long x = 0; x < width_ + barPeriod_; ++x)
        Put(bars_.data() + x * kBytesPerPixel, kBars[(x / barWidth) % kBarCount]);
    // A strip under the bars.
    tickerTop_ = barsBottom_ + kTickerGap;
    tickerBottom_ = std::min(height_, tickerTop_ + std::max(2, height_ / 60));
    ballSide_ = std::max(2, height_ / 8);
    ball_ = Row(width_, kBallColour);
    ticker_ = Row(width_, kTickerColour);
}

TestCard::Layout TestCard::LayoutOf(long index) const {
    return {(index * kBarSpeed) % barPeriod_, Bounce(index * kBallSpeedX, width_ - ballSide_),
            Bounce(index * kBallSpeedY, height_ - ballSide_),
            static_cast<long>(width_) * (index % kTickerFrames + 1) / kTickerFrames};
}

void TestCard::Draw(long index, Frame& frame) const {
    if (frame.width != width_ || frame.height != height_ || backdrop_.pixels.empty()) return;
    const Layout layout = LayoutOf(index);
    for (int y = 0; y < height_; ++y)
        DrawRow(y, layout, frame.Row(y));
}

// Left to right: the ticker (drawn over everything), then the bars or the backdrop with the
// ball over them. Each pixel is written once.
void TestCard::DrawRow(int y, const Layout& layout, BYTE* row) const {
    const bool inBars = y >= barsTop_ && y < barsBottom_;
    const BYTE* base = inBars ? bars_.data() + layout.barShift * kBytesPerPixel : backdrop_.Row(y);
    const long tickerEnd = y >= tickerTop_ && y < tickerBottom_ ? layout.tickerFilled : 0;
    const bool inBall = y >= layout.ballTop && y < layout.ballTop + ballSide_;
    const long ballStart = inBall ? std::max(layout.ballLeft, tickerEnd) : tickerEnd;
    const long ballEnd =
        inBall ? std::max(std::min<long>(layout.ballLeft + ballSide_, width_), ballStart)
               : ballStart;
    Span(row, ticker_.data(), 0, tickerEnd);
    Span(row, base, tickerEnd, ballStart);
    Span(row, ball_.data(), ballStart, ballEnd);
    Span(row, base, ballEnd, width_);
}

} // namespace hosting
