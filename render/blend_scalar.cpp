#include "render/blend_kernels.h"

#include <cassert>

void BlendRowScalar(BYTE* dst, const BYTE* src, unsigned width) {
    assert(width > 0);
    for (unsigned i = 0; i < width; ++i, dst += 4, src += 4) {
        // 256 − a keeps alpha 0 exact (the frame times 256, shifted back) at the price of
        // alpha 255 never fully covering: white over black gives 254. The largest sum,
        // 256 × 255, fits 16 bits.
        const unsigned a = src[3];
        const unsigned keep = 256 - a;
        dst[0] = static_cast<BYTE>((keep * dst[0] + a * src[0]) >> 8);
        dst[1] = static_cast<BYTE>((keep * dst[1] + a * src[1]) >> 8);
        dst[2] = static_cast<BYTE>((keep * dst[2] + a * src[2]) >> 8);
    }
}
