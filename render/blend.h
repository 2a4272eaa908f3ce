// Blending RGBA sprites onto 32-bit frames. Every sprite reaches a frame through AlphaBlendRGBA.
#pragma once

#include "platform/wintypes.h"

// Blends the source rectangle of `src` onto the destination rectangle of `dst`, in place:
// out = ((256 − a) × frame + a × sprite) >> 8 for blue, green and red; the frame's fourth byte
// is kept. Rectangle rows are memory rows. Both rectangles are clipped to the picture in place
// and hold what was used afterwards.
//
// Returns S_OK after drawing or when there is nothing to draw; E_POINTER when a pointer is null;
// E_INVALIDARG when the clipped rectangles do not fit their images, differ in size or are
// inverted. Nothing is written unless every check has passed.
HRESULT AlphaBlendRGBA(BYTE* dst, unsigned dstWidth, unsigned dstHeight, int dstStride,
                       const BYTE* src, unsigned srcWidth, unsigned srcHeight, int srcStride,
                       RECT* dstRect, RECT* srcRect);
