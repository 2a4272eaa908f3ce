// Blending RGBA sprites onto 32-bit frames. Every sprite reaches a frame through AlphaBlendRGBA.
#pragma once

#include "platform/wintypes.h"
#include "render/frame_view.h"

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

// AlphaBlendRGBA onto `frame`. On a canvas with alpha (frame.withAlpha) each fourth byte then
// becomes the frame's coverage, ((256 − a) × coverage + a × 255 + 128) >> 8, so the colour bytes
// hold the picture premultiplied by it: the canvas composited over any picture gives that picture
// with the sprites drawn on it. An opaque frame's fourth bytes stay 255 either way.
HRESULT AlphaBlendOnto(const FrameView& frame, const BYTE* src, unsigned srcWidth,
                       unsigned srcHeight, int srcStride, RECT* dstRect, RECT* srcRect);
