// The built-in picture: a test card that moves, so that a viewer (and a test) can tell frames
// apart and see what the game draws over it. Frame n is always the same picture.
//
// Every row of a frame is put together from spans of rows prepared once (the backdrop, a strip
// of colour bars, the ball and the ticker), so drawing a frame costs about one frame copy.
#pragma once

#include <vector>

#include "hosting/frame.h"

namespace hosting {

class TestCard {
public:
    // The size must be usable (see MakeFrame); an unusable one gives empty frames.
    TestCard(int width, int height);

    // Draws frame `index` (not negative) into `frame`, which must have the card's size.
    void Draw(long index, Frame& frame) const;

private:
    // Where the moving parts are in frame `index`.
    struct Layout {
        long barShift; // pixels into the bar strip where the row starts
        long ballLeft; // first column and row of the ball
        long ballTop;
        long tickerFilled; // pixels of the ticker filled from the left
    };
    Layout LayoutOf(long index) const;
    void DrawRow(int y, const Layout& layout, BYTE* row) const;

    int width_;
    int height_;
    int barsTop_ = 0, barsBottom_ = 0;     // rows [top, bottom) show the bars
    int tickerTop_ = 0, tickerBottom_ = 0; // rows [top, bottom) show the ticker
    int ballSide_ = 0;
    long barPeriod_ = 1;       // the bars repeat every so many pixels
    Frame backdrop_;           // the still part
    std::vector<BYTE> bars_;   // one row of bars, a period longer than the frame is wide
    std::vector<BYTE> ball_;   // one row of the ball's colour, the frame's width
    std::vector<BYTE> ticker_; // one row of the ticker's colour, the frame's width
};

} // namespace hosting
