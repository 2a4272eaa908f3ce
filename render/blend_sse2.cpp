// SSE2 row kernel: the scalar formula on four pixels at a time, bit-identical to it.
#include <emmintrin.h>

#include "render/blend_kernels.h"

namespace {

const __m128i* AsVector(const BYTE* p) {
    return reinterpret_cast<const __m128i*>(p);
}

// Spreads each pixel's alpha (the fourth of its four 16-bit lanes) over all four lanes.
__m128i SpreadAlpha(__m128i pixels16) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(pixels16, _MM_SHUFFLE(3, 3, 3, 3)),
                               _MM_SHUFFLE(3, 3, 3, 3));
}

// ((256 − a) × frame + a × sprite) >> 8 on two pixels widened to 16-bit lanes. The weights sum
// to 256 and the bytes are at most 255, so the sum stays within 65280 and no lane wraps.
__m128i BlendTwo(__m128i frame16, __m128i sprite16) {
    const __m128i alpha = SpreadAlpha(sprite16);
    const __m128i keep = _mm_sub_epi16(_mm_set1_epi16(256), alpha);
    const __m128i sum =
        _mm_add_epi16(_mm_mullo_epi16(keep, frame16), _mm_mullo_epi16(alpha, sprite16));
    return _mm_srli_epi16(sum, 8);
}

// Four pixels; the frame's fourth bytes are masked out before and put back afterwards.
__m128i BlendFour(__m128i frame, __m128i sprite, __m128i fourthBytes) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour = _mm_andnot_si128(fourthBytes, frame);
    const __m128i low = BlendTwo(_mm_unpacklo_epi8(colour, zero), _mm_unpacklo_epi8(sprite, zero));
    const __m128i high = BlendTwo(_mm_unpackhi_epi8(colour, zero), _mm_unpackhi_epi8(sprite, zero));
    const __m128i blended = _mm_andnot_si128(fourthBytes, _mm_packus_epi16(low, high));
    return _mm_or_si128(blended, _mm_and_si128(fourthBytes, frame));
}

bool AllTransparent(__m128i sprite, __m128i fourthBytes) {
    const __m128i alpha = _mm_and_si128(sprite, fourthBytes);
    return _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_setzero_si128())) == 0xFFFF;
}

} // namespace

void BlendRowSse2(BYTE* dst, const BYTE* src, unsigned width) {
    const __m128i fourthBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; width >= 4; width -= 4, dst += 16, src += 16) {
        _mm_prefetch(reinterpret_cast<const char*>(src + 16), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(dst + 16), _MM_HINT_T0);
        const __m128i sprite = _mm_loadu_si128(AsVector(src));
        // Alpha 0 leaves a frame pixel exactly as it was: four of them need no read or write.
        if (AllTransparent(sprite, fourthBytes)) continue;
        const __m128i frame = _mm_loadu_si128(AsVector(dst));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), BlendFour(frame, sprite, fourthBytes));
    }
    if (width > 0) BlendRowScalar(dst, src, width);
}
