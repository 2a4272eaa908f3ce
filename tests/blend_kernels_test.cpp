// The vector row kernels against the scalar reference, byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/cpu.h"
#include "render/blend.h"
#include "render/blend_kernels.h"

namespace {

// Random bytes whose alpha comes in runs of 0, of 255 and of anything, so that wholly
// transparent vector blocks, opaque ones and mixed ones all occur.
std::vector<BYTE> RandomPixels(std::mt19937& rng, std::size_t bytes) {
    std::vector<BYTE> out(bytes);
    for (BYTE& b : out)
        b = static_cast<BYTE>(rng());
    std::size_t pixel = 0;
    while (pixel * 4 + 3 < bytes) {
        const unsigned kind = rng() % 3, run = 1 + rng() % 20;
        for (unsigned i = 0; i < run && pixel * 4 + 3 < bytes; ++i, ++pixel)
            out[pixel * 4 + 3] = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<BYTE>(rng());
    }
    return out;
}

// A few rows of `width` pixels placed at byte offsets inside larger buffers, so that everything
// around and between the rows is a guard byte that must survive.
struct Layout {
    std::size_t srcOffset, dstOffset, srcStride, dstStride;
};

constexpr unsigned kRows = 3;

void BlendRows(BlendRowFn row, std::vector<BYTE>& dst, const std::vector<BYTE>& src, unsigned width,
               const Layout& at) {
    for (unsigned r = 0; r < kRows; ++r)
        row(dst.data() + at.dstOffset + r * at.dstStride,
            src.data() + at.srcOffset + r * at.srcStride, width);
}

class VectorKernel : public testing::TestWithParam<BlendKernel> {
protected:
    void SetUp() override {
        if (!KernelRunsHere(GetParam()))
            GTEST_SKIP() << "processor lacks " << BlendKernelName(GetParam());
    }
};

TEST_P(VectorKernel, MatchesTheScalarKernelByteForByte) {
    const BlendRowFn kernel = BlendRowFor(GetParam());
    ASSERT_NE(kernel, nullptr);
    std::mt19937 rng(20240611);
    const std::size_t offsets[] = {0, 1, 3, 7, 36};
    const std::size_t extraStride[] = {0, 4, 13};
    for (unsigned width = 1; width <= 95; ++width) {
        for (std::size_t offset : offsets) {
            for (std::size_t extra : extraStride) {
                const Layout at{offset + 5, offset, width * 4 + extra, width * 4 + extra + 8};
                // The source ends with the last pixel read, so that a read past it is caught
                // by the address sanitizer; the frame's tail is guard bytes.
                const std::vector<BYTE> src =
                    RandomPixels(rng, at.srcOffset + (kRows - 1) * at.srcStride + width * 4);
                const std::vector<BYTE> frame =
                    RandomPixels(rng, at.dstOffset + kRows * at.dstStride + 32);
                std::vector<BYTE> expected = frame, actual = frame;
                BlendRows(BlendRowScalar, expected, src, width, at);
                BlendRows(kernel, actual, src, width, at);
                ASSERT_EQ(0, std::memcmp(expected.data(), actual.data(), expected.size()))
                    << "width " << width << ", offset " << offset << ", extra stride " << extra;
            }
        }
    }
}

TEST_P(VectorKernel, TransparentAndOpaqueBlocksFollowTheFormula) {
    // Whole vector blocks of one alpha: 0 must leave the frame as it is, 255 must not fully
    // cover it (white over black gives 254), and a single visible pixel in a run of transparent
    // ones must not be skipped. Pixels 0-31: transparent but for pixel 29; 32-63: transparent;
    // 64-71: opaque but for pixel 68.
    const BlendRowFn kernel = BlendRowFor(GetParam());
    constexpr unsigned width = 72;
    std::vector<BYTE> frame(width * 4), sprite(width * 4, 255);
    for (unsigned i = 0; i < width; ++i) {
        frame[i * 4 + 3] = 77;
        sprite[i * 4 + 3] = i < 64 ? 0 : 255;
    }
    sprite[29 * 4 + 3] = 128;
    sprite[68 * 4 + 3] = 0;
    kernel(frame.data(), sprite.data(), width);
    for (unsigned i = 0; i < width; ++i) {
        const BYTE expected = i == 29 ? 127 : (i < 64 || i == 68) ? 0 : 254;
        EXPECT_EQ(frame[i * 4], expected) << "pixel " << i;
        EXPECT_EQ(frame[i * 4 + 3], 77) << "pixel " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, VectorKernel,
                         testing::Values(BlendKernel::Sse2, BlendKernel::Avx2, BlendKernel::Avx512),
                         [](const testing::TestParamInfo<BlendKernel>& info) {
                             return std::string(BlendKernelName(info.param));
                         });

TEST(ActiveBlendKernel, IsTheWidestThatRunsHereUnlessNarrowed) {
    const BlendKernel active = ActiveBlendKernel();
    EXPECT_TRUE(KernelRunsHere(active)) << BlendKernelName(active);
    if (std::getenv("ASKGAME_BLEND_KERNEL")) return; // narrowed on purpose
    for (BlendKernel kernel : {BlendKernel::Sse2, BlendKernel::Avx2, BlendKernel::Avx512}) {
        if (kernel > active) {
            EXPECT_FALSE(KernelRunsHere(kernel)) << BlendKernelName(kernel);
        }
    }
}

TEST(ActiveBlendKernel, BlendsAFivePixelSpriteAsTheScalarKernelDoes) {
    // Five pixels: one vector step of four (or none for the eight-wide kernel) and a remainder.
    std::mt19937 rng(5);
    std::vector<BYTE> frame = RandomPixels(rng, 8 * 4 * 4), sprite = RandomPixels(rng, 5 * 2 * 4);
    std::vector<BYTE> expected = frame;
    for (unsigned r = 0; r < 2; ++r)
        BlendRowScalar(expected.data() + (r + 1) * 32 + 8, sprite.data() + r * 20, 5);
    RECT d{2, 1, 7, 3}, s{0, 0, 5, 2};
    ASSERT_EQ(AlphaBlendRGBA(frame.data(), 8, 4, 32, sprite.data(), 5, 2, 20, &d, &s), S_OK);
    EXPECT_EQ(frame, expected);
}

TEST(ActiveBlendKernel, AZeroWidthRectangleWritesNothing) {
    std::mt19937 rng(0);
    std::vector<BYTE> frame = RandomPixels(rng, 8 * 4 * 4), sprite = RandomPixels(rng, 4 * 4);
    const std::vector<BYTE> before = frame;
    RECT d{3, 0, 3, 4}, s{1, 0, 1, 4};
    EXPECT_EQ(AlphaBlendRGBA(frame.data(), 8, 4, 32, sprite.data(), 1, 4, 4, &d, &s), S_OK);
    EXPECT_EQ(frame, before);
}

} // namespace
