// The base sprite: a picture with an alpha channel in the frame's own layout (blue, green, red,
// alpha; bottom-up rows; stride width × 4) and its place on the frame.
#pragma once

#include <memory>

#include "platform/wintypes.h"

class CQvSpriteRGBA {
public:
    CQvSpriteRGBA() = default;
    CQvSpriteRGBA(const CQvSpriteRGBA&) = delete;
    CQvSpriteRGBA& operator=(const CQvSpriteRGBA&) = delete;
    virtual ~CQvSpriteRGBA() = default;

    // Stores the top-left corner, top-down; no redraw, no check.
    virtual void SetPosition(int x, int y) {
        this->x = x;
        this->y = y;
    }

    std::unique_ptr<BYTE[]> pixels; // width × height pixels, 4 bytes each; null: no picture
    int width = 0;
    int height = 0;
    int x = 0; // left edge, pixels from the picture's left
    int y = 0; // top edge, pixels from the picture's top
};
