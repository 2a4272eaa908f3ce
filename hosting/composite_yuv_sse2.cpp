#include "hosting/composite_yuv_sse2.h"

#ifdef ASKGAME_COMPOSITE_SSE2

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "hosting/picture.h"

namespace hosting {

namespace {

__m128i Load(const BYTE* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Four bytes into the low bytes of four 32-bit lanes.
__m128i Widen4(const BYTE* p) {
    std::int32_t word;
    std::memcpy(&word, p, 4);
    const __m128i zero = _mm_setzero_si128();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero);
}

// The 32-bit sums of neighbouring lanes: [a0 + a1, a2 + a3, b0 + b1, b2 + b3].
__m128i PairSums(__m128i a, __m128i b) {
    const __m128 fa = _mm_castsi128_ps(a), fb = _mm_castsi128_ps(b);
    const __m128i evens = _mm_castps_si128(_mm_shuffle_ps(fa, fb, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i odds = _mm_castps_si128(_mm_shuffle_ps(fa, fb, _MM_SHUFFLE(3, 1, 3, 1)));
    return _mm_add_epi32(evens, odds);
}

// Lanes of 16-bit weights per colour byte, in the canvas's order blue, green, red, fourth.
__m128i Weights(int blue, int green, int red, int fourth) {
    return _mm_setr_epi16(static_cast<short>(blue), static_cast<short>(green),
                          static_cast<short>(red), static_cast<short>(fourth),
                          static_cast<short>(blue), static_cast<short>(green),
                          static_cast<short>(red), static_cast<short>(fourth));
}

// The product of two lanes' values that each fit 16 signed bits, the first not negative (its
// upper half 0), in 32 bits.
__m128i Multiply(__m128i small, __m128i value) {
    return _mm_madd_epi16(small, value);
}

// sample + ((weight × (offset − sample) + colour + 128) >> 8): the plain step's
// (sample × (256 − weight) + offset × weight + colour + 128) >> 8, with the sample's 256 parts
// taken out of the shift, which leaves the result as it was.
__m128i Blend(__m128i sample, __m128i weight, int offset, __m128i colour) {
    const __m128i lift = _mm_sub_epi32(_mm_set1_epi32(offset), sample);
    const __m128i sum =
        _mm_add_epi32(_mm_add_epi32(Multiply(weight, lift), colour), _mm_set1_epi32(128));
    return _mm_add_epi32(sample, _mm_srai_epi32(sum, 8));
}

// Four pixels' luma: the samples `luma` (four bytes) under the canvas pixels `pixels`.
__m128i Luma4(__m128i pixels, const BYTE* luma) {
    using namespace bt601;
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights = Weights(kYb, kYg, kYr, 0);
    const __m128i colour = PairSums(_mm_madd_epi16(_mm_unpacklo_epi8(pixels, zero), weights),
                                    _mm_madd_epi16(_mm_unpackhi_epi8(pixels, zero), weights));
    const __m128i coverage = _mm_srli_epi32(pixels, 24);
    const __m128i weight = _mm_add_epi32(coverage, _mm_srli_epi32(coverage, 7));
    return Blend(Widen4(luma), weight, kYOffset, colour);
}

// Eight results in 32-bit lanes, clamped to bytes, stored.
void Store8(BYTE* out, __m128i first, __m128i second) {
    const __m128i shorts = _mm_packs_epi32(first, second);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(shorts, shorts));
}

} // namespace

void CompositeYuvSse2(const BYTE* top, const BYTE* bottom, BYTE* lumaTop, BYTE* lumaBottom, BYTE* u,
                      BYTE* v, int chromaStep) {
    using namespace bt601;
    const __m128i zero = _mm_setzero_si128();
    const __m128i top0 = Load(top), top1 = Load(top + 16);
    const __m128i bottom0 = Load(bottom), bottom1 = Load(bottom + 16);

    // The colour sums of each 2 × 2 block, in 16-bit lanes (at most 4 × 255).
    const auto blockSums = [&](__m128i t, __m128i b) {
        const __m128i left = _mm_add_epi16(_mm_unpacklo_epi8(t, zero), _mm_unpacklo_epi8(b, zero));
        const __m128i right = _mm_add_epi16(_mm_unpackhi_epi8(t, zero), _mm_unpackhi_epi8(b, zero));
        // left: pixels 0 and 1 of the pair; right: pixels 2 and 3; each block is one pair.
        return _mm_add_epi16(_mm_unpacklo_epi64(left, right), _mm_unpackhi_epi64(left, right));
    };
    const __m128i sums01 = blockSums(top0, bottom0);
    const __m128i sums23 = blockSums(top1, bottom1);

    Store8(lumaTop, Luma4(top0, lumaTop), Luma4(top1, lumaTop + 4));
    Store8(lumaBottom, Luma4(bottom0, lumaBottom), Luma4(bottom1, lumaBottom + 4));

    const auto colour = [&](int blue, int green, int red) {
        const __m128i weights = Weights(blue, green, red, 0);
        return _mm_srai_epi32(
            PairSums(_mm_madd_epi16(sums01, weights), _mm_madd_epi16(sums23, weights)), 2);
    };
    const __m128i fourths = Weights(0, 0, 0, 1);
    const __m128i coverage =
        PairSums(_mm_madd_epi16(sums01, fourths), _mm_madd_epi16(sums23, fourths));
    // Four coverages out of 255 as one weight out of 256, rounded: (sum × 257 + 512) >> 10.
    const __m128i weight = _mm_srli_epi32(
        _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(coverage, 8), coverage), _mm_set1_epi32(512)),
        10);

    __m128i us, vs;
    if (chromaStep == 1) {
        us = Widen4(u);
        vs = Widen4(v);
    } else {
        const __m128i uv =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u)), zero);
        us = _mm_and_si128(uv, _mm_set1_epi32(0xFFFF));
        vs = _mm_srli_epi32(uv, 16);
    }
    const __m128i newU = Blend(us, weight, kChromaOffset, colour(kUb, kUg, kUr));
    const __m128i newV = Blend(vs, weight, kChromaOffset, colour(kVb, kVg, kVr));
    const __m128i u16 = _mm_packs_epi32(newU, newU);
    const __m128i v16 = _mm_packs_epi32(newV, newV);
    if (chromaStep == 1) {
        const std::int32_t uBytes = _mm_cvtsi128_si32(_mm_packus_epi16(u16, u16));
        const std::int32_t vBytes = _mm_cvtsi128_si32(_mm_packus_epi16(v16, v16));
        std::memcpy(u, &uBytes, 4);
        std::memcpy(v, &vBytes, 4);
    } else {
        const __m128i interleaved = _mm_unpacklo_epi16(u16, v16);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(u), _mm_packus_epi16(interleaved, interleaved));
    }
}

} // namespace hosting

#endif
