#include "render/placement.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

LONG Saturate(std::int64_t v) {
    return static_cast<LONG>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

std::int64_t Magnitude(int v) {
    return v < 0 ? -std::int64_t{v} : std::int64_t{v};
}

} // namespace

BlendRects PlaceSprite(int x, int y, int width, int height, int frameHeight) {
    const std::int64_t top = Magnitude(frameHeight) - y - Magnitude(height);
    BlendRects r;
    r.dst.left = x;
    r.dst.top = Saturate(top);
    r.dst.right = Saturate(std::int64_t{x} + width);
    r.dst.bottom = Saturate(top + height);
    r.src = {0, 0, width, height};
    return r;
}
