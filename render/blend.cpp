#include "render/blend.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/cpu.h"
#include "render/blend_kernels.h"

namespace {

// The widest kernel the processor has and this build holds.
BlendKernel WidestKernel() {
    for (BlendKernel kernel : {BlendKernel::Avx512, BlendKernel::Avx2, BlendKernel::Sse2})
        if (KernelRunsHere(kernel)) return kernel;
    return BlendKernel::Scalar;
}

BlendKernel ChooseKernel() {
    // The processor is asked once; a forced kernel may only narrow the choice.
    const BlendKernel best = WidestKernel();
    const char* forced = std::getenv("ASKGAME_BLEND_KERNEL");
    if (!forced) return best;
    for (BlendKernel narrower : {BlendKernel::Scalar, BlendKernel::Sse2, BlendKernel::Avx2})
        if (std::strcmp(forced, BlendKernelName(narrower)) == 0 && narrower < best) return narrower;
    return best;
}

BlendRowFn ActiveRow() {
    static const BlendRowFn row = BlendRowFor(ActiveBlendKernel());
    return row;
}

// Adds `delta` to a source edge; a result outside 32 bits saturates, and validation then
// rejects the rectangle instead of seeing a wrapped value.
void Shift(LONG& edge, std::int64_t delta) {
    edge = static_cast<LONG>(std::clamp<std::int64_t>(edge + delta, INT32_MIN, INT32_MAX));
}

// Moves each destination edge that sticks out of the picture onto it, and the matching source
// edge by the same amount. The comparisons are signed for left and top, unsigned for right and
// bottom.
void ClipToPicture(RECT& d, RECT& s, unsigned dstWidth, unsigned dstHeight) {
    if (d.left < 0 && d.right >= 1) {
        Shift(s.left, -std::int64_t{d.left});
        d.left = 0;
    }
    if (d.top < 0 && d.bottom >= 1) {
        Shift(s.top, -std::int64_t{d.top});
        d.top = 0;
    }
    if (static_cast<unsigned>(d.right) > dstWidth && static_cast<unsigned>(d.left) < dstWidth) {
        Shift(s.right, std::int64_t{dstWidth} - static_cast<unsigned>(d.right));
        d.right = static_cast<LONG>(dstWidth);
    }
    if (static_cast<unsigned>(d.bottom) > dstHeight && static_cast<unsigned>(d.top) < dstHeight) {
        Shift(s.bottom, std::int64_t{dstHeight} - static_cast<unsigned>(d.bottom));
        d.bottom = static_cast<LONG>(dstHeight);
    }
}

bool Fits(const RECT& d, const RECT& s, unsigned dstWidth, unsigned dstHeight, unsigned srcWidth,
          unsigned srcHeight) {
    if (d.left < 0 || d.top < 0) return false;
    if (static_cast<unsigned>(d.right) > dstWidth || static_cast<unsigned>(d.bottom) > dstHeight)
        return false;
    if (s.left < 0 || s.top < 0) return false;
    if (static_cast<unsigned>(s.right) > srcWidth || static_cast<unsigned>(s.bottom) > srcHeight)
        return false;
    // Inverted rectangles would pass the size comparison when both are inverted alike.
    if (d.right < d.left || d.bottom < d.top || s.right < s.left || s.bottom < s.top) return false;
    return std::int64_t{d.right} - d.left == std::int64_t{s.right} - s.left &&
           std::int64_t{d.bottom} - d.top == std::int64_t{s.bottom} - s.top;
}

constexpr unsigned kAlphaByte = 3;
constexpr unsigned kOpaque = 255;

constexpr unsigned kHalf = 128; // rounds the coverage to the nearest step

// The fourth bytes of a blended row: the sprite's coverage composed over the frame's, rounded,
// as the colour bytes weigh the frame by 256 − a. 255 stays 255; the sum stays within 16 bits.
void CoverRow(BYTE* dst, const BYTE* src, unsigned width) {
    for (unsigned i = 0; i < width; ++i, dst += 4, src += 4) {
        const unsigned a = src[kAlphaByte];
        dst[kAlphaByte] =
            static_cast<BYTE>(((256 - a) * dst[kAlphaByte] + a * kOpaque + kHalf) >> 8);
    }
}

} // namespace

bool KernelRunsHere(BlendKernel kernel) {
    if (!BlendRowFor(kernel)) return false;
    const bool sse2 = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
    const bool avx2 = sse2 && IsProcessorFeaturePresent(PF_AVX2_INSTRUCTIONS_AVAILABLE);
    switch (kernel) {
    case BlendKernel::Scalar:
        return true;
    case BlendKernel::Sse2:
        return sse2;
    case BlendKernel::Avx2:
        return avx2;
    case BlendKernel::Avx512:
#if ASKGAME_BLEND_AVX512
        return avx2 && ProcessorHasAvx512Bw();
#else
        return false;
#endif
    }
    return false;
}

BlendKernel ActiveBlendKernel() {
    static const BlendKernel kernel = ChooseKernel();
    return kernel;
}

const char* BlendKernelName(BlendKernel kernel) {
    switch (kernel) {
    case BlendKernel::Scalar:
        return "scalar";
    case BlendKernel::Sse2:
        return "sse2";
    case BlendKernel::Avx2:
        return "avx2";
    case BlendKernel::Avx512:
        return "avx512";
    }
    return "?";
}

HRESULT AlphaBlendRGBA(BYTE* dst, unsigned dstWidth, unsigned dstHeight, int dstStride,
                       const BYTE* src, unsigned srcWidth, unsigned srcHeight, int srcStride,
                       RECT* dstRect, RECT* srcRect) {
    const BlendRowFn row = ActiveRow();
    if (!dst || !src || !dstRect || !srcRect) return E_POINTER;

    RECT& d = *dstRect;
    RECT& s = *srcRect;
    ClipToPicture(d, s, dstWidth, dstHeight);
    if (!Fits(d, s, dstWidth, dstHeight, srcWidth, srcHeight)) return E_INVALIDARG;

    const unsigned width = static_cast<unsigned>(d.right - d.left);
    const unsigned height = static_cast<unsigned>(d.bottom - d.top);
    if (height == 0 || width == 0) return S_OK;

    BYTE* dstRow = dst + std::ptrdiff_t{d.top} * dstStride + std::ptrdiff_t{d.left} * 4;
    const BYTE* srcRow = src + std::ptrdiff_t{s.top} * srcStride + std::ptrdiff_t{s.left} * 4;
    for (unsigned i = 0; i < height; ++i, dstRow += dstStride, srcRow += srcStride)
        row(dstRow, srcRow, width);
    return S_OK;
}

HRESULT AlphaBlendOnto(const FrameView& frame, const BYTE* src, unsigned srcWidth,
                       unsigned srcHeight, int srcStride, RECT* dstRect, RECT* srcRect) {
    const HRESULT result = AlphaBlendRGBA(frame.bottomRow, frame.width, frame.height, frame.stride,
                                          src, srcWidth, srcHeight, srcStride, dstRect, srcRect);
    if (result != S_OK || !frame.withAlpha) return result;
    // The rectangles now hold what was drawn, clipped and checked.
    const RECT& d = *dstRect;
    const RECT& s = *srcRect;
    const auto width = static_cast<unsigned>(d.right - d.left);
    BYTE* dstRow =
        frame.bottomRow + std::ptrdiff_t{d.top} * frame.stride + std::ptrdiff_t{d.left} * 4;
    const BYTE* srcRow = src + std::ptrdiff_t{s.top} * srcStride + std::ptrdiff_t{s.left} * 4;
    for (LONG y = d.top; width > 0 && y < d.bottom;
         ++y, dstRow += frame.stride, srcRow += srcStride)
        CoverRow(dstRow, srcRow, width);
    return S_OK;
}
