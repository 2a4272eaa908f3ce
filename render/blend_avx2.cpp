// AVX2 row kernel: the scalar formula on eight pixels at a time, bit-identical to it.
//
// This file is compiled with -mavx2. It includes nothing but the intrinsics and our own
// declarations, so that no inline function from a shared header is emitted here with AVX2
// instructions and then picked by the linker for callers on processors without them.
#include <immintrin.h>

#include "render/blend_kernels.h"

namespace {

const __m256i* AsVector(const BYTE* p) {
    return reinterpret_cast<const __m256i*>(p);
}

// Byte shuffles that turn four pixels of each 128-bit half into 16-bit lanes holding
// (a, a, a, 0) per pixel: -1 selects a zero byte. The low shuffle serves pixels 0 and 1 of each
// half, the high one pixels 2 and 3, matching the order of unpacklo/unpackhi.
__m256i AlphaSpread(int first, int second) {
    return _mm256_setr_epi8(static_cast<char>(first), -1, static_cast<char>(first), -1,
                            static_cast<char>(first), -1, -1, -1, static_cast<char>(second), -1,
                            static_cast<char>(second), -1, static_cast<char>(second), -1, -1, -1,
                            static_cast<char>(first), -1, static_cast<char>(first), -1,
                            static_cast<char>(first), -1, -1, -1, static_cast<char>(second), -1,
                            static_cast<char>(second), -1, static_cast<char>(second), -1, -1, -1);
}

// 256 × frame + a × (sprite − frame) equals (256 − a) × frame + a × sprite, which lies in
// 0..65280; computed modulo 2^16 it is therefore exact in an unsigned 16-bit lane, with one
// multiplication instead of two. The fourth lane has weight 0 and gives back the frame's byte.
__m256i BlendFourWide(__m256i frame16, __m256i frameHigh16, __m256i sprite16, __m256i alpha) {
    const __m256i change = _mm256_mullo_epi16(alpha, _mm256_sub_epi16(sprite16, frame16));
    return _mm256_srli_epi16(_mm256_add_epi16(frameHigh16, change), 8);
}

__m256i BlendEight(__m256i frame, __m256i sprite, __m256i spreadLow, __m256i spreadHigh) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i low =
        BlendFourWide(_mm256_unpacklo_epi8(frame, zero), _mm256_unpacklo_epi8(zero, frame),
                      _mm256_unpacklo_epi8(sprite, zero), _mm256_shuffle_epi8(sprite, spreadLow));
    const __m256i high =
        BlendFourWide(_mm256_unpackhi_epi8(frame, zero), _mm256_unpackhi_epi8(zero, frame),
                      _mm256_unpackhi_epi8(sprite, zero), _mm256_shuffle_epi8(sprite, spreadHigh));
    return _mm256_packus_epi16(low, high);
}

} // namespace

void BlendRowAvx2(BYTE* dst, const BYTE* src, unsigned width) {
    const __m256i alphaBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i spreadLow = AlphaSpread(3, 7);
    const __m256i spreadHigh = AlphaSpread(11, 15);
    for (; width >= 8; width -= 8, dst += 32, src += 32) {
        const __m256i sprite = _mm256_loadu_si256(AsVector(src));
        // Alpha 0 leaves a frame pixel exactly as it was: eight of them need no read or write.
        if (_mm256_testz_si256(sprite, alphaBytes)) continue;
        const __m256i frame = _mm256_loadu_si256(AsVector(dst));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst),
                            BlendEight(frame, sprite, spreadLow, spreadHigh));
    }
    if (width > 0) BlendRowSse2(dst, src, width);
}
