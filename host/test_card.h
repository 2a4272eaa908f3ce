// The built-in picture: a test card that moves, so that a viewer (and a test) can tell frames
// apart and see what the game draws over it. Frame n is always the same picture.
#pragma once

#include "host/frame.h"

namespace host {

class TestCard {
public:
    // The size must be usable (see MakeFrame); an unusable one gives empty frames.
    TestCard(int width, int height);

    // Draws frame `index` into `frame`, which must have the card's size.
    void Draw(long index, Frame& frame) const;

private:
    void DrawBars(long index, Frame& frame) const;
    void DrawBall(long index, Frame& frame) const;
    void DrawTicker(long index, Frame& frame) const;

    int width_;
    int height_;
    Frame backdrop_; // the still part, drawn once
};

} // namespace host
