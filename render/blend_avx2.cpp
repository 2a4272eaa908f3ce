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

// The pixels are not widened by byte shuffles (the processor has fewer shuffle units than
// arithmetic ones); each 32-bit pixel is instead seen as two 16-bit lanes and split into an even
// plane (blue, red in the low bytes) and an odd plane (green, fourth byte, shifted down).
//
// In each lane 256 × frame + w × (sprite − frame) equals (256 − w) × frame + w × sprite, which
// lies in 0..65280; computed modulo 2^16 it is therefore exact, with one multiplication. Its
// high byte is the result.
__m256i BlendEight(__m256i frame, __m256i sprite, __m256i spreadAlpha) {
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    const __m256i highBytes = _mm256_set1_epi16(static_cast<short>(0xFF00));

    // Weights: alpha for blue and red; alpha for green and 0 for the fourth byte, which then
    // comes back as the frame had it.
    const __m256i evenWeight = _mm256_shuffle_epi8(sprite, spreadAlpha);
    const __m256i oddWeight = _mm256_srli_epi32(sprite, 24);

    const __m256i evenChange =
        _mm256_mullo_epi16(evenWeight, _mm256_sub_epi16(_mm256_and_si256(sprite, lowBytes),
                                                        _mm256_and_si256(frame, lowBytes)));
    const __m256i oddChange = _mm256_mullo_epi16(
        oddWeight, _mm256_sub_epi16(_mm256_srli_epi16(sprite, 8), _mm256_srli_epi16(frame, 8)));

    const __m256i even = _mm256_add_epi16(_mm256_slli_epi16(frame, 8), evenChange);
    const __m256i odd = _mm256_add_epi16(_mm256_and_si256(frame, highBytes), oddChange);
    // Blue and red shifted down into the low bytes, green and the fourth byte from the high ones.
    return _mm256_blendv_epi8(_mm256_srli_epi16(even, 8), odd, highBytes);
}

} // namespace

namespace {

// Blends eight pixels unless all eight are transparent: alpha 0 leaves a frame pixel exactly as
// it was, so such a block needs no read or write of the frame.
void BlendBlock(BYTE* dst, __m256i sprite, __m256i alphaBytes, __m256i spreadAlpha) {
    if (_mm256_testz_si256(sprite, alphaBytes)) return;
    const __m256i frame = _mm256_loadu_si256(AsVector(dst));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), BlendEight(frame, sprite, spreadAlpha));
}

} // namespace

void BlendRowAvx2(BYTE* dst, const BYTE* src, unsigned width) {
    const __m256i alphaBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    // Each pixel's alpha byte into both of its 16-bit lanes (-1 selects a zero byte).
    const __m256i spreadAlpha =
        _mm256_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1, //
                         3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1);
    // Text sprites are mostly transparent, in runs: the margins, the rows above and below the
    // ink, the gaps between words. Thirty-two pixels (two cache lines) are tested with one
    // branch, so a transparent run costs little more than reading it.
    for (; width >= 32; width -= 32, dst += 128, src += 128) {
        const __m256i s0 = _mm256_loadu_si256(AsVector(src));
        const __m256i s1 = _mm256_loadu_si256(AsVector(src + 32));
        const __m256i s2 = _mm256_loadu_si256(AsVector(src + 64));
        const __m256i s3 = _mm256_loadu_si256(AsVector(src + 96));
        const __m256i any = _mm256_or_si256(_mm256_or_si256(s0, s1), _mm256_or_si256(s2, s3));
        if (_mm256_testz_si256(any, alphaBytes)) continue;
        BlendBlock(dst, s0, alphaBytes, spreadAlpha);
        BlendBlock(dst + 32, s1, alphaBytes, spreadAlpha);
        BlendBlock(dst + 64, s2, alphaBytes, spreadAlpha);
        BlendBlock(dst + 96, s3, alphaBytes, spreadAlpha);
    }
    for (; width >= 8; width -= 8, dst += 32, src += 32)
        BlendBlock(dst, _mm256_loadu_si256(AsVector(src)), alphaBytes, spreadAlpha);
    if (width > 0) BlendRowSse2(dst, src, width);
}
