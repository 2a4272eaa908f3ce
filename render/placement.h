// Where a sprite lands on a frame. Sprite positions are top-down (pixels from the picture's top
// edge); frame rows are bottom-up (memory row 0 is the picture's bottom row).
#pragma once

#include "platform/wintypes.h"

// The destination and source rectangles handed to AlphaBlendRGBA.
struct BlendRects {
    RECT dst;
    RECT src;
};

// Rectangles for a whole sprite of width × height whose top-left corner is at (x, y) on a frame
// of frameHeight rows: destination (x, |frameHeight| − y − |height|, x + width, top + height),
// source (0, 0, width, height). Coordinates that would leave the 32-bit range saturate, so the
// blend clips or rejects them instead of seeing a wrapped value.
BlendRects PlaceSprite(int x, int y, int width, int height, int frameHeight);
