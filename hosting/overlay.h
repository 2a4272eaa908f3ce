// Drawing the game only where it is. The plug-in draws on a transparent BGRA canvas (it then
// writes each pixel's coverage into the fourth byte, the colours premultiplied by it); the
// overlay finds the tiles that hold anything and composites only those onto the picture, in the
// picture's own format. Clearing, finding and compositing all cost in proportion to what was
// drawn, except the search for ink, one read of the canvas.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "hosting/picture.h"
#include "platform/wintypes.h"

namespace hosting {

// The canvas is searched in tiles of this many pixels; a tile with any ink is composited whole.
// Both are even, so a tile's edges fall on whole chroma samples.
inline constexpr int kInkTileColumns = 64;
inline constexpr int kInkTileRows = 16;
// Canvases up to this many pixels a side.
inline constexpr int kMaxOverlaySide = 16384;

// A rectangle of the picture in pixels from its top-left corner; right and bottom exclusive.
struct InkRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const InkRect&) const = default;
};

// Gives a canvas's pages back to the system.
struct CanvasUnmap {
    std::size_t bytes = 0;
    void operator()(BYTE* pages) const;
};

class Overlay {
public:
    // A transparent canvas of width × height; unusable (Canvas() null) when a side is not from 1
    // to kMaxOverlaySide.
    Overlay(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Bytes from one canvas row to the next (rows are top-down).
    std::size_t Stride() const { return static_cast<std::size_t>(width_) * 4; }

    // Clears what was drawn since the last Begin and gives the canvas, transparent throughout,
    // for the next frame's drawing. Null when the overlay is unusable.
    BYTE* Begin();
    // After drawing: finds the runs of tiles that hold ink. Every pixel outside them is
    // transparent.
    void FindInk();
    // The runs FindInk found, each within one band of tiles, top to bottom, left to right.
    std::span<const InkRect> Ink() const { return ink_; }
    // Pixels covered by Ink().
    std::size_t InkArea() const;

    // Composites the ink onto `picture`, which has the canvas's size; false, touching nothing,
    // when it has another size or a missing plane.
    bool CompositeOnto(const PictureView& picture) const;
    const BYTE* Canvas() const { return canvas_.get(); }

private:
    void ReleaseIdleBands();

    int width_ = 0;
    int height_ = 0;
    // Mapped page by page: a page nothing was drawn on reads as the system's one zero page,
    // which stays in the cache, so finding ink there reads no memory.
    std::unique_ptr<BYTE, CanvasUnmap> canvas_;
    std::vector<InkRect> ink_;
    long frame_ = 0;
    // For each band of tiles: the frame it last held ink in, and whether its pages are the
    // canvas's own (drawn on since they were last given back).
    std::vector<long> bandInkFrame_;
    std::vector<bool> bandResident_;
};

// Composites `rect` of a premultiplied BGRA canvas (top-down, `canvasStride` bytes a row, the
// picture's size) onto the same rectangle of `picture`: out = picture × (1 − coverage) + canvas,
// in the picture's format. For I420 and NV12 the colours go through BT.601 studio range and
// each chroma sample takes the mean of the 2 × 2 canvas pixels it covers. `rect` must lie within
// the picture with even left and top.
void CompositeRect(const BYTE* canvas, std::size_t canvasStride, const InkRect& rect,
                   const PictureView& picture);

} // namespace hosting
