// A frame as the plug-in draws on it: memory row 0 is the picture's bottom row and row r lies
// r × stride bytes from it. A bottom-up buffer has a positive stride; a top-down buffer (rows
// stored from the picture's top, as video decoders hand them out) is the same frame seen from its
// last row, with a negative stride. Sprites never need to know which.
#pragma once

#include "platform/wintypes.h"

struct FrameView {
    BYTE* bottomRow = nullptr; // first pixel of the picture's bottom row; null: nothing to draw on
    unsigned width = 0;
    unsigned height = 0;
    int stride = 0; // bytes from one picture row to the one above it
    // A transparent canvas (an overlay a host composites over its own picture): drawing also
    // writes each sprite's coverage into the fourth bytes, which stay as they are otherwise.
    bool withAlpha = false;

    explicit operator bool() const { return bottomRow != nullptr; }
};

// The view of a host's frame of width × |height| packed 32-bit pixels: a positive height means
// bottom-up rows, a negative one top-down rows. An empty view when `pixels` is null, the width is
// not positive, the height is 0 or INT_MIN, or the frame's byte size does not fit the address
// space. A frame whose first and last pixels have a fourth byte of 0 is taken for a transparent
// canvas (withAlpha); camera frames are opaque.
FrameView HostFrameView(BYTE* pixels, int width, int height);

// A bottom-up packed frame of width × height pixels (empty for a null buffer or a zero or
// out-of-range size).
FrameView BottomUpFrame(BYTE* pixels, unsigned width, unsigned height);
