// AlphaBlendRGBA and its row kernels on a full HD frame, beside the memory-traffic bound of the
// same rectangle (read the sprite, read the frame, write the frame once) and pixman's OVER.
//
// Names read Blend/<sprite>/<content>/<what>; scripts/bench divides each figure by the
// .../reference measured in the same run.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <pixman.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/cpu.h"
#include "render/blend.h"
#include "render/blend_kernels.h"
#include "render/placement.h"

namespace {

constexpr unsigned kFrameWidth = 1920, kFrameHeight = 1080;

struct SpriteShape {
    unsigned width, height;
};
constexpr SpriteShape kShapes[] = {{1920, 1080}, {1920, 60}, {640, 36}, {100, 24}};

enum class Content { Random, Text };

// A small deterministic generator; the content only has to be the same in every run.
struct Rng {
    std::uint64_t state;
    std::uint32_t operator()() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::uint32_t>(state >> 32);
    }
};

void Fill(std::vector<BYTE>& bytes, Rng& rng) {
    for (BYTE& b : bytes)
        b = static_cast<BYTE>(rng());
}

// Ink of one pixel: white, alpha the larger of what is there and `alpha`.
void Ink(std::vector<BYTE>& sprite, unsigned width, unsigned x, unsigned row, BYTE alpha) {
    BYTE* p = &sprite[(std::size_t{row} * width + x) * 4];
    p[0] = p[1] = p[2] = 255;
    p[3] = std::max(p[3], alpha);
}

// A stroke one pixel wide with anti-aliased neighbours on both sides.
void VerticalStroke(std::vector<BYTE>& sprite, unsigned width, unsigned x, unsigned top,
                    unsigned bottom, Rng& rng) {
    for (unsigned row = top; row < bottom; ++row) {
        Ink(sprite, width, x - 1, row, static_cast<BYTE>(40 + rng() % 150));
        Ink(sprite, width, x, row, 255);
        Ink(sprite, width, x + 1, row, static_cast<BYTE>(40 + rng() % 150));
    }
}

void HorizontalStroke(std::vector<BYTE>& sprite, unsigned width, unsigned left, unsigned right,
                      unsigned row) {
    for (unsigned x = left; x < right; ++x) {
        Ink(sprite, width, x, row, 255);
        Ink(sprite, width, x, row + 1, 120);
    }
}

// One line of glyph-like shapes: cells 12 pixels wide holding two stems and a bar, with word
// gaps; ink covers the middle two thirds of the line's height.
void TextLine(std::vector<BYTE>& sprite, unsigned width, unsigned top, unsigned lineHeight,
              Rng& rng) {
    const unsigned inkTop = top + lineHeight / 5, inkBottom = top + lineHeight * 17 / 20;
    for (unsigned x = 4; x + 14 <= width; x += 12) {
        if (rng() % 6 == 0) continue; // a space between words
        VerticalStroke(sprite, width, x + 1 + rng() % 3, inkTop + rng() % 3, inkBottom, rng);
        VerticalStroke(sprite, width, x + 7 + rng() % 3, inkTop + rng() % 3, inkBottom, rng);
        HorizontalStroke(sprite, width, x, x + 11, inkTop + rng() % (inkBottom - inkTop - 1));
    }
}

// Mostly fully transparent: lines of text 36 rows high (or the sprite's height, if lower)
// every 60 rows.
void FillText(std::vector<BYTE>& sprite, unsigned width, unsigned height, Rng& rng) {
    std::fill(sprite.begin(), sprite.end(), BYTE{0});
    const unsigned lineHeight = std::min(height, 36u), pitch = 60;
    const unsigned first = height >= pitch ? (pitch - lineHeight) / 2 : 0;
    for (unsigned top = first; top + lineHeight <= height; top += pitch)
        TextLine(sprite, width, top, lineHeight, rng);
}

// A frame and one sprite placed on it, centred near the bottom of the picture.
struct Scene {
    Scene(SpriteShape shape, Content content)
        : width(shape.width), height(shape.height),
          frame(std::size_t{kFrameWidth} * kFrameHeight * 4),
          sprite(std::size_t{shape.width} * shape.height * 4) {
        Rng rng{0x9E3779B97F4A7C15ull + shape.width * 31 + shape.height};
        Fill(frame, rng);
        if (content == Content::Random)
            Fill(sprite, rng);
        else
            FillText(sprite, width, height, rng);
        const int x = static_cast<int>(kFrameWidth - width) / 2;
        const int y = static_cast<int>(kFrameHeight - height) * 9 / 10;
        rects = PlaceSprite(x, y, static_cast<int>(width), static_cast<int>(height),
                            static_cast<int>(kFrameHeight));
    }
    BYTE* frameRow(unsigned i) {
        return &frame[(std::size_t(rects.dst.top) + i) * kFrameWidth * 4 +
                      std::size_t(rects.dst.left) * 4];
    }
    const BYTE* spriteRow(unsigned i) const { return &sprite[std::size_t{i} * width * 4]; }
    std::int64_t pixels() const { return std::int64_t{width} * height; }

    unsigned width, height;
    std::vector<BYTE> frame, sprite;
    BlendRects rects{};
};

// The memory-traffic bound: every sprite byte read, every covered frame byte read and written
// once, with the widest vectors the processor has and no arithmetic to speak of.
__attribute__((target("avx2"))) void TouchRowAvx2(BYTE* dst, const BYTE* src, unsigned width) {
    unsigned i = 0;
    for (; i + 8 <= width; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i * 4));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i * 4));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i * 4), _mm256_or_si256(s, d));
    }
    for (; i < width; ++i)
        for (unsigned c = 0; c < 4; ++c)
            dst[i * 4 + c] |= src[i * 4 + c];
}

void TouchRowSse2(BYTE* dst, const BYTE* src, unsigned width) {
    unsigned i = 0;
    for (; i + 4 <= width; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i * 4));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i * 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i * 4), _mm_or_si128(s, d));
    }
    for (; i < width; ++i)
        for (unsigned c = 0; c < 4; ++c)
            dst[i * 4 + c] |= src[i * 4 + c];
}

bool Supported(BlendKernel kernel) {
    switch (kernel) {
    case BlendKernel::Scalar:
        return true;
    case BlendKernel::Sse2:
        return IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
    case BlendKernel::Avx2:
        return IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) &&
               IsProcessorFeaturePresent(PF_AVX2_INSTRUCTIONS_AVAILABLE);
    }
    return false;
}

void RunRows(benchmark::State& state, Scene& scene, BlendRowFn row) {
    for (auto _ : state) {
        for (unsigned i = 0; i < scene.height; ++i)
            row(scene.frameRow(i), scene.spriteRow(i), scene.width);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * scene.pixels());
}

void Reference(benchmark::State& state, SpriteShape shape, Content content) {
    Scene scene(shape, content);
    RunRows(state, scene, Supported(BlendKernel::Avx2) ? TouchRowAvx2 : TouchRowSse2);
}

void Kernel(benchmark::State& state, SpriteShape shape, Content content, BlendKernel kernel) {
    if (!Supported(kernel)) {
        state.SkipWithError("processor lacks this kernel");
        return;
    }
    Scene scene(shape, content);
    RunRows(state, scene, BlendRowFor(kernel));
}

// The public entry with the kernel it chose for this process, clipping and checks included.
void Entry(benchmark::State& state, SpriteShape shape, Content content) {
    Scene scene(shape, content);
    for (auto _ : state) {
        BlendRects r = scene.rects;
        benchmark::DoNotOptimize(AlphaBlendRGBA(
            scene.frame.data(), kFrameWidth, kFrameHeight, kFrameWidth * 4, scene.sprite.data(),
            scene.width, scene.height, static_cast<int>(scene.width * 4), &r.dst, &r.src));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * scene.pixels());
}

// pixman's OVER, a8r8g8b8 sprite onto an x8r8g8b8 frame: a speed peer (its formula differs).
void Pixman(benchmark::State& state, SpriteShape shape, Content content) {
    Scene scene(shape, content);
    using Image = std::unique_ptr<pixman_image_t, decltype(&pixman_image_unref)>;
    Image frame(pixman_image_create_bits(PIXMAN_x8r8g8b8, kFrameWidth, kFrameHeight,
                                         reinterpret_cast<uint32_t*>(scene.frame.data()),
                                         kFrameWidth * 4),
                &pixman_image_unref);
    Image sprite(pixman_image_create_bits(PIXMAN_a8r8g8b8, static_cast<int>(scene.width),
                                          static_cast<int>(scene.height),
                                          reinterpret_cast<uint32_t*>(scene.sprite.data()),
                                          static_cast<int>(scene.width * 4)),
                 &pixman_image_unref);
    if (!frame || !sprite) {
        state.SkipWithError("pixman could not wrap the images");
        return;
    }
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, sprite.get(), nullptr, frame.get(), 0, 0, 0, 0,
                                 scene.rects.dst.left, scene.rects.dst.top,
                                 static_cast<int>(scene.width), static_cast<int>(scene.height));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * scene.pixels());
}

void RegisterAll() {
    const std::pair<Content, const char*> contents[] = {{Content::Random, "random"},
                                                        {Content::Text, "text"}};
    const BlendKernel kernels[] = {BlendKernel::Avx2, BlendKernel::Sse2, BlendKernel::Scalar};
    for (SpriteShape shape : kShapes) {
        for (auto [content, contentName] : contents) {
            const std::string prefix = "Blend/" + std::to_string(shape.width) + "x" +
                                       std::to_string(shape.height) + "/" + contentName + "/";
            benchmark::RegisterBenchmark((prefix + "reference").c_str(), Reference, shape, content);
            for (BlendKernel kernel : kernels)
                benchmark::RegisterBenchmark((prefix + BlendKernelName(kernel)).c_str(), Kernel,
                                             shape, content, kernel);
            benchmark::RegisterBenchmark((prefix + "AlphaBlendRGBA").c_str(), Entry, shape,
                                         content);
            benchmark::RegisterBenchmark((prefix + "pixman").c_str(), Pixman, shape, content);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
