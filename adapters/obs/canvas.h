// The frames the source hands OBS: a small ring of transparent BGRA canvases of one size, made
// once, so that drawing a frame allocates nothing. OBS copies a frame when it is handed over;
// the ring only keeps the one being drawn apart from the one last handed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace obs_adapter {

inline constexpr std::size_t kRingFrames = 2;
inline constexpr int kCanvasBytesPerPixel = 4;
// Outputs up to this many pixels a side (OBS's own limit is 16384).
inline constexpr int kMaxCanvasSide = 16384;

// Bytes of a width × height BGRA canvas; nothing when a side is not from 1 to kMaxCanvasSide.
std::optional<std::size_t> CanvasBytes(int width, int height);

class CanvasRing {
public:
    // Canvases of width × height; empty (Next() gives null) for an unusable size.
    CanvasRing(int width, int height);

    // The next canvas, cleared to transparent black.
    std::uint8_t* Next();
    int Width() const { return width_; }
    int Height() const { return height_; }
    std::size_t RowBytes() const { return static_cast<std::size_t>(width_) * kCanvasBytesPerPixel; }

private:
    int width_ = 0;
    int height_ = 0;
    std::size_t bytes_ = 0;
    std::vector<std::uint8_t> storage_;
    std::size_t next_ = 0;
};

// The plug-in draws a canvas premultiplied by its coverage; OBS blends a source's BGRA frames
// as straight alpha (colour × alpha + picture × (1 − alpha)). Divides each partly covered
// pixel's colour by its coverage, rounded; uncovered pixels stay as they are (the plug-in
// leaves them transparent black).
void PremultipliedToStraight(std::uint8_t* pixels, std::size_t count);

} // namespace obs_adapter
