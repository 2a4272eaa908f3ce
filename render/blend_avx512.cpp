// AVX-512 row kernel: the AVX2 kernel's arithmetic on sixteen pixels at a time, bit-identical to
// the scalar formula. Mask registers test each pixel's alpha and cover the row's tail, so no
// narrower kernel is needed for the last pixels.
//
// This file is compiled with -mavx512f -mavx512bw. As with the AVX2 kernel, it includes nothing
// but the intrinsics and our own declarations, so that no shared inline function is emitted here
// with instructions other processors lack.
#include <immintrin.h>

#include <cstdint>

#include "render/blend_kernels.h"

// GCC 12 warns inside its own AVX-512 intrinsics, which start from a deliberately undefined
// vector (GCC bug 105593, fixed in GCC 13).
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

constexpr unsigned kLanes = 16;         // pixels in a vector
constexpr unsigned kGroup = 4 * kLanes; // pixels tested together: four cache lines
constexpr __mmask64 kHighBytes = 0xAAAAAAAAAAAAAAAAull;

// See BlendEight in the AVX2 kernel: each pixel as two 16-bit lanes, an even plane (blue, red)
// and an odd plane (green, fourth byte), 256 × frame + w × (sprite − frame) in each lane, exact
// modulo 2^16, the high byte kept.
__m512i BlendSixteen(__m512i frame, __m512i sprite, __m512i spreadAlpha) {
    const __m512i lowBytes = _mm512_set1_epi16(0x00FF);

    // Weights: alpha for blue and red; alpha for green and 0 for the fourth byte, which then
    // comes back as the frame had it.
    const __m512i evenWeight = _mm512_shuffle_epi8(sprite, spreadAlpha);
    const __m512i oddWeight = _mm512_srli_epi32(sprite, 24);

    const __m512i evenChange =
        _mm512_mullo_epi16(evenWeight, _mm512_sub_epi16(_mm512_and_si512(sprite, lowBytes),
                                                        _mm512_and_si512(frame, lowBytes)));
    const __m512i oddChange = _mm512_mullo_epi16(
        oddWeight, _mm512_sub_epi16(_mm512_srli_epi16(sprite, 8), _mm512_srli_epi16(frame, 8)));

    const __m512i even = _mm512_add_epi16(_mm512_slli_epi16(frame, 8), evenChange);
    // The low byte of each odd lane is not needed: the blend below takes only its high byte.
    const __m512i odd = _mm512_add_epi16(_mm512_andnot_si512(lowBytes, frame), oddChange);
    return _mm512_mask_blend_epi8(kHighBytes, _mm512_srli_epi16(even, 8), odd);
}

// Blends the pixels of `pixels` (a mask, one bit a pixel) at `dst` from `sprite`. Pixels with
// alpha 0 would come back unchanged, so a vector with none visible is neither read nor written.
void BlendVector(BYTE* dst, __m512i sprite, __mmask16 pixels, __m512i alphaBytes,
                 __m512i spreadAlpha) {
    if (_mm512_mask_test_epi32_mask(pixels, sprite, alphaBytes) == 0) return;
    const __m512i frame = _mm512_maskz_loadu_epi32(pixels, dst);
    _mm512_mask_storeu_epi32(dst, pixels, BlendSixteen(frame, sprite, spreadAlpha));
}

__m512i Load(const BYTE* p) {
    return _mm512_loadu_si512(p);
}

// The first `pixels` pixels of a row, under a mask: masked loads read nothing past them and
// masked stores write nothing past them.
void BlendFew(BYTE* dst, const BYTE* src, unsigned pixels, __m512i alphaBytes,
              __m512i spreadAlpha) {
    const auto mask = static_cast<__mmask16>((1u << pixels) - 1);
    BlendVector(dst, _mm512_maskz_loadu_epi32(mask, src), mask, alphaBytes, spreadAlpha);
}

// How many pixels lie before the next 64-byte boundary of the frame row, when its pixels sit on
// 4-byte boundaries (otherwise none can be aligned). A 64-byte access that straddles two cache
// lines costs both, and unaligned frame rows would make every one of them do so.
unsigned PixelsToAlignment(const BYTE* dst, unsigned width) {
    const auto address = reinterpret_cast<std::uintptr_t>(dst);
    if (address % 4 != 0) return 0;
    const unsigned pixels = static_cast<unsigned>((64 - address % 64) % 64) / 4;
    return pixels < width ? pixels : width;
}

} // namespace

void BlendRowAvx512(BYTE* dst, const BYTE* src, unsigned width) {
    const __m512i alphaBytes = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
    // Each pixel's alpha byte into both of its 16-bit lanes (-1 selects a zero byte).
    const __m512i spreadAlpha = _mm512_broadcast_i32x4(
        _mm_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1));
    constexpr __mmask16 all = 0xFFFF;
    if (const unsigned head = PixelsToAlignment(dst, width)) {
        BlendFew(dst, src, head, alphaBytes, spreadAlpha);
        width -= head;
        dst += 4 * head;
        src += 4 * head;
    }
    // Transparent runs (margins, rows above and below the ink, gaps between words) are passed
    // over four cache lines to a branch.
    for (; width >= kGroup; width -= kGroup, dst += 4 * kGroup, src += 4 * kGroup) {
        const __m512i s0 = Load(src), s1 = Load(src + 64), s2 = Load(src + 128),
                      s3 = Load(src + 192);
        const __m512i any = _mm512_or_si512(_mm512_or_si512(s0, s1), _mm512_or_si512(s2, s3));
        if (_mm512_test_epi32_mask(any, alphaBytes) == 0) continue;
        BlendVector(dst, s0, all, alphaBytes, spreadAlpha);
        BlendVector(dst + 64, s1, all, alphaBytes, spreadAlpha);
        BlendVector(dst + 128, s2, all, alphaBytes, spreadAlpha);
        BlendVector(dst + 192, s3, all, alphaBytes, spreadAlpha);
    }
    for (; width >= kLanes; width -= kLanes, dst += 4 * kLanes, src += 4 * kLanes)
        BlendVector(dst, Load(src), all, alphaBytes, spreadAlpha);
    if (width > 0) BlendFew(dst, src, width, alphaBytes, spreadAlpha);
    // The compiler clears the vector registers' upper halves before a return, but not before the
    // tail call above would leave: then SSE code anywhere in the host ran at half speed after
    // every row of a width not a multiple of 16.
    _mm256_zeroupper();
}
