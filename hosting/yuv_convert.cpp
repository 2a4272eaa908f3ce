#include "hosting/yuv_convert.h"

#include <algorithm>

#ifdef ASKGAME_HAVE_LIBYUV
#include <libyuv/convert.h>
#include <libyuv/convert_argb.h>
#include <libyuv/planar_functions.h>
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

void PictureToBgra(const PictureView& picture, BYTE* bgra) {
    const auto& [format, width, height, planes, strides] = picture;
    const int out = width * 4;
    const auto s = [&strides = picture.strides](int plane) {
        return static_cast<int>(strides[plane]);
    };
    switch (format) {
    case PixelFormat::I420:
        libyuv::I420ToARGB(planes[0], s(0), planes[1], s(1), planes[2], s(2), bgra, out, width,
                           height);
        break;
    case PixelFormat::Nv12:
        libyuv::NV12ToARGB(planes[0], s(0), planes[1], s(1), bgra, out, width, height);
        break;
    case PixelFormat::Bgra:
        libyuv::ARGBCopy(planes[0], s(0), bgra, out, width, height);
        break;
    case PixelFormat::Rgba:
        libyuv::ABGRToARGB(planes[0], s(0), bgra, out, width, height);
        break;
    }
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
                Clamp(((bt601::kYr * p[2] + bt601::kYg * p[1] + bt601::kYb * p[0] + 128) >> 8) +
                      bt601::kYOffset);
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
            uPlane[at] = Clamp(((bt601::kUr * r + bt601::kUg * g + bt601::kUb * b + 128) >> 8) +
                               bt601::kChromaOffset);
            vPlane[at] = Clamp(((bt601::kVr * r + bt601::kVg * g + bt601::kVb * b + 128) >> 8) +
                               bt601::kChromaOffset);
        }
}

void PictureToBgra(const PictureView& picture, BYTE* bgra) {
    const auto& [format, width, height, planes, strides] = picture;
    const bool packed = format == PixelFormat::Bgra || format == PixelFormat::Rgba;
    const int step = format == PixelFormat::Nv12 ? 2 : 1;
    const BYTE* vPlane = format == PixelFormat::Nv12 ? planes[1] + 1 : planes[2];
    const std::ptrdiff_t vStride = format == PixelFormat::Nv12 ? strides[1] : strides[2];
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            BYTE* p = bgra + (std::size_t(row) * width + x) * 4;
            if (packed) {
                const BYTE* q = planes[0] + row * strides[0] + std::ptrdiff_t(x) * 4;
                const bool rgba = format == PixelFormat::Rgba;
                p[0] = q[rgba ? 2 : 0], p[1] = q[1], p[2] = q[rgba ? 0 : 2], p[3] = q[3];
                continue;
            }
            const std::ptrdiff_t chroma = std::ptrdiff_t(x / 2) * step;
            const int c = planes[0][row * strides[0] + x] - 16;
            const int d = planes[1][(row / 2) * strides[1] + chroma] - 128;
            const int e = vPlane[(row / 2) * vStride + chroma] - 128;
            p[0] = Clamp((298 * c + 516 * d + 128) >> 8);
            p[1] = Clamp((298 * c - 100 * d - 208 * e + 128) >> 8);
            p[2] = Clamp((298 * c + 409 * e + 128) >> 8);
            p[3] = 255;
        }
}

#endif

void I420ToBgra(const BYTE* i420, int width, int height, BYTE* bgra) {
    PictureToBgra(PackedI420(const_cast<BYTE*>(i420), width, height), bgra);
}

} // namespace hosting
