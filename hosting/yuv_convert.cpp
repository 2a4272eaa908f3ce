#include "hosting/yuv_convert.h"

#include <algorithm>

#ifdef ASKGAME_HAVE_LIBYUV
#include <libyuv/convert.h>
#include <libyuv/convert_argb.h>
#endif

namespace hosting {

#ifdef ASKGAME_HAVE_LIBYUV

// libyuv's "ARGB" is a little-endian word: B, G, R, A in memory, the host's order.
void BgraToI420(const BYTE* bgra, int width, int height, BYTE* i420) {
    const int chromaWidth = (width + 1) / 2;
    BYTE* y = i420;
    BYTE* u = y + std::size_t(width) * std::size_t(height);
    BYTE* v = u + std::size_t(chromaWidth) * std::size_t((height + 1) / 2);
    libyuv::ARGBToI420(bgra, width * 4, y, width, u, chromaWidth, v, chromaWidth, width, height);
}

void I420ToBgra(const BYTE* i420, int width, int height, BYTE* bgra) {
    const int chromaWidth = (width + 1) / 2;
    const BYTE* y = i420;
    const BYTE* u = y + std::size_t(width) * std::size_t(height);
    const BYTE* v = u + std::size_t(chromaWidth) * std::size_t((height + 1) / 2);
    libyuv::I420ToARGB(y, width, u, chromaWidth, v, chromaWidth, bgra, width * 4, width, height);
}

#else

namespace {

BYTE Clamp(int value) {
    return static_cast<BYTE>(std::clamp(value, 0, 255));
}

} // namespace

void BgraToI420(const BYTE* bgra, int width, int height, BYTE* i420) {
    const int chromaWidth = (width + 1) / 2;
    BYTE* yPlane = i420;
    BYTE* uPlane = yPlane + std::size_t(width) * std::size_t(height);
    BYTE* vPlane = uPlane + std::size_t(chromaWidth) * std::size_t((height + 1) / 2);
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            const BYTE* p = bgra + (std::size_t(row) * width + x) * 4;
            yPlane[std::size_t(row) * width + x] =
                Clamp(((66 * p[2] + 129 * p[1] + 25 * p[0] + 128) >> 8) + 16);
        }
    for (int row = 0; row < height; row += 2)
        for (int x = 0; x < width; x += 2) {
            int b = 0, g = 0, r = 0, n = 0;
            for (int dy = 0; dy < 2 && row + dy < height; ++dy)
                for (int dx = 0; dx < 2 && x + dx < width; ++dx, ++n) {
                    const BYTE* p = bgra + (std::size_t(row + dy) * width + x + dx) * 4;
                    b += p[0], g += p[1], r += p[2];
                }
            b /= n, g /= n, r /= n;
            const std::size_t at = std::size_t(row / 2) * chromaWidth + x / 2;
            uPlane[at] = Clamp(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
            vPlane[at] = Clamp(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
        }
}

void I420ToBgra(const BYTE* i420, int width, int height, BYTE* bgra) {
    const int chromaWidth = (width + 1) / 2;
    const BYTE* yPlane = i420;
    const BYTE* uPlane = yPlane + std::size_t(width) * std::size_t(height);
    const BYTE* vPlane = uPlane + std::size_t(chromaWidth) * std::size_t((height + 1) / 2);
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            const std::size_t chroma = std::size_t(row / 2) * chromaWidth + x / 2;
            const int c = yPlane[std::size_t(row) * width + x] - 16;
            const int d = uPlane[chroma] - 128, e = vPlane[chroma] - 128;
            BYTE* p = bgra + (std::size_t(row) * width + x) * 4;
            p[0] = Clamp((298 * c + 516 * d + 128) >> 8);
            p[1] = Clamp((298 * c - 100 * d - 208 * e + 128) >> 8);
            p[2] = Clamp((298 * c + 409 * e + 128) >> 8);
            p[3] = 255;
        }
}

#endif

} // namespace hosting
