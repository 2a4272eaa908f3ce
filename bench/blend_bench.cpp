// AlphaBlendRGBA and its row kernels on a full HD frame, beside the memory-traffic bound of the
// same rectangle (read the sprite, read the frame, write the frame once), pixman's OVER and, when
// it is installed, libyuv's ARGBBlend.
//
// Names read Blend/<sprite>/<content>/<what>; scripts/bench divides each figure by the
// .../reference measured in the same run. <content> "random" or "text" blends one frame and one
// sprite again and again, so both stay in the cache when they fit; "random-uncached" and
// "text-uncached" cycle through enough frames and sprites to exceed any last-level cache, as a
// host does that is handed a new frame every time.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <pixman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/cpu.h"
#include "render/blend.h"
#include "render/blend_kernels.h"
#include "render/placement.h"

#if ASKGAME_HAVE_LIBYUV
#include <libyuv/planar_functions.h>
#endif

namespace {

constexpr unsigned kFrameWidth = 1920, kFrameHeight = 1080;

struct SpriteShape {
    unsigned width, height;
};
constexpr SpriteShape kShapes[] = {{1920, 1080}, {1920, 60}, {640, 36}, {100, 24}};
// The shapes also measured out of the cache: a full-frame sprite and a one-line text sprite.
constexpr SpriteShape kUncachedShapes[] = {{1920, 1080}, {1920, 60}};
// What the out-of-cache cases cycle through, frames and sprites together: four times the 32 MiB
// last-level cache of the machine these figures are taken on (lscpu), and above the L3 of
// common desktop and server processors.
constexpr std::size_t kUncachedBytes = std::size_t{128} << 20;

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
    for (std::size_t i = 0; i < bytes.size(); i += sizeof(std::uint32_t)) {
        const std::uint32_t word = rng();
        std::memcpy(&bytes[i], &word, std::min(sizeof word, bytes.size() - i));
    }
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

// The scenes one benchmark cycles through: one, or enough to exceed the cache. Built once per
// shape and content and shared by every benchmark of that group, so that building them stays
// out of the figures however the repetitions are interleaved.
using Ring = std::vector<std::unique_ptr<Scene>>;

Ring& Scenes(SpriteShape shape, Content content, bool uncached) {
    static std::map<std::tuple<unsigned, unsigned, Content, bool>, Ring> rings;
    Ring& ring = rings[{shape.width, shape.height, content, uncached}];
    if (!ring.empty()) return ring;
    const std::size_t sceneBytes =
        (std::size_t{kFrameWidth} * kFrameHeight + std::size_t{shape.width} * shape.height) * 4;
    const std::size_t count = uncached ? (kUncachedBytes + sceneBytes - 1) / sceneBytes : 1;
    for (std::size_t i = 0; i < count; ++i)
        ring.push_back(std::make_unique<Scene>(shape, content));
    return ring;
}

// Cycles through the ring, one scene an iteration.
template <typename Draw>
void Cycle(benchmark::State& state, Ring& ring, Draw draw) {
    std::size_t next = 0;
    for (auto _ : state) {
        draw(*ring[next]);
        next = next + 1 == ring.size() ? 0 : next + 1;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * ring.front()->pixels());
}

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

__attribute__((target("avx512f"))) void TouchRowAvx512(BYTE* dst, const BYTE* src, unsigned width) {
    unsigned i = 0;
    for (; i + 16 <= width; i += 16) {
        const __m512i s = _mm512_loadu_si512(src + i * 4);
        const __m512i d = _mm512_loadu_si512(dst + i * 4);
        _mm512_storeu_si512(dst + i * 4, _mm512_or_si512(s, d));
    }
    if (i < width) TouchRowAvx2(dst + i * 4, src + i * 4, width - i);
}

BlendRowFn WidestTouch() {
    if (KernelRunsHere(BlendKernel::Avx512)) return TouchRowAvx512;
    return KernelRunsHere(BlendKernel::Avx2) ? TouchRowAvx2 : TouchRowSse2;
}

void RunRows(benchmark::State& state, Ring& ring, BlendRowFn row) {
    Cycle(state, ring, [row](Scene& scene) {
        for (unsigned i = 0; i < scene.height; ++i)
            row(scene.frameRow(i), scene.spriteRow(i), scene.width);
    });
}

void Reference(benchmark::State& state, Ring* ring) {
    RunRows(state, *ring, WidestTouch());
}

void Kernel(benchmark::State& state, Ring* ring, BlendKernel kernel) {
    if (!KernelRunsHere(kernel)) {
        state.SkipWithError("processor lacks this kernel");
        return;
    }
    RunRows(state, *ring, BlendRowFor(kernel));
}

// The public entry with the kernel it chose for this process, clipping and checks included.
void Entry(benchmark::State& state, Ring* ring) {
    Cycle(state, *ring, [](Scene& scene) {
        BlendRects r = scene.rects;
        benchmark::DoNotOptimize(AlphaBlendRGBA(
            scene.frame.data(), kFrameWidth, kFrameHeight, kFrameWidth * 4, scene.sprite.data(),
            scene.width, scene.height, static_cast<int>(scene.width * 4), &r.dst, &r.src));
    });
}

// pixman's OVER, a8r8g8b8 sprite onto an x8r8g8b8 frame: a speed peer (its formula differs).
void Pixman(benchmark::State& state, Ring* ring) {
    using Image = std::unique_ptr<pixman_image_t, decltype(&pixman_image_unref)>;
    std::vector<std::pair<Image, Image>> images;
    for (auto& scene : *ring) {
        Image frame(pixman_image_create_bits(PIXMAN_x8r8g8b8, kFrameWidth, kFrameHeight,
                                             reinterpret_cast<uint32_t*>(scene->frame.data()),
                                             kFrameWidth * 4),
                    &pixman_image_unref);
        Image sprite(pixman_image_create_bits(PIXMAN_a8r8g8b8, static_cast<int>(scene->width),
                                              static_cast<int>(scene->height),
                                              reinterpret_cast<uint32_t*>(scene->sprite.data()),
                                              static_cast<int>(scene->width * 4)),
                     &pixman_image_unref);
        if (!frame || !sprite) {
            state.SkipWithError("pixman could not wrap the images");
            return;
        }
        images.emplace_back(std::move(frame), std::move(sprite));
    }
    std::size_t next = 0;
    Cycle(state, *ring, [&](Scene& scene) {
        auto& [frame, sprite] = images[next];
        next = next + 1 == images.size() ? 0 : next + 1;
        pixman_image_composite32(PIXMAN_OP_OVER, sprite.get(), nullptr, frame.get(), 0, 0, 0, 0,
                                 scene.rects.dst.left, scene.rects.dst.top,
                                 static_cast<int>(scene.width), static_cast<int>(scene.height));
    });
}

#if ASKGAME_HAVE_LIBYUV
// libyuv's ARGBBlend of the sprite onto the frame rectangle, in place. ARGBBlend wants the
// sprite's colours premultiplied by its alpha; a sprite is rendered once and blended every
// frame, so the premultiplying (ARGBAttenuate) is done once here, outside the timing, and the
// figure is the per-frame blend alone: dst = sprite + dst × (256 − a) >> 8, alpha set to 255.
// The same memory traffic as ours, a slightly different formula: a speed peer.
void Libyuv(benchmark::State& state, Ring* ring) {
    std::vector<std::vector<BYTE>> premultiplied;
    for (auto& scene : *ring) {
        const int stride = static_cast<int>(scene->width * 4);
        std::vector<BYTE>& sprite = premultiplied.emplace_back(scene->sprite.size());
        libyuv::ARGBAttenuate(scene->sprite.data(), stride, sprite.data(), stride,
                              static_cast<int>(scene->width), static_cast<int>(scene->height));
    }
    std::size_t next = 0;
    Cycle(state, *ring, [&](Scene& scene) {
        const BYTE* sprite = premultiplied[next].data();
        next = next + 1 == premultiplied.size() ? 0 : next + 1;
        BYTE* frame = scene.frameRow(0);
        libyuv::ARGBBlend(sprite, static_cast<int>(scene.width * 4), frame, kFrameWidth * 4, frame,
                          kFrameWidth * 4, static_cast<int>(scene.width),
                          static_cast<int>(scene.height));
    });
}
#endif

void RegisterGroup(SpriteShape shape, Content content, bool uncached) {
    const char* contentName = content == Content::Random ? "random" : "text";
    const std::string prefix = "Blend/" + std::to_string(shape.width) + "x" +
                               std::to_string(shape.height) + "/" + contentName +
                               (uncached ? "-uncached/" : "/");
    // The ring is built on the group's first run, not at registration, so that a filter that
    // leaves the group out costs nothing.
    struct Lazy {
        SpriteShape shape;
        Content content;
        bool uncached;
        Ring* get() const { return &Scenes(shape, content, uncached); }
    };
    const Lazy lazy{shape, content, uncached};
    auto add = [&](const std::string& what, auto fn, auto... args) {
        benchmark::RegisterBenchmark((prefix + what).c_str(), [=](benchmark::State& state) {
            fn(state, lazy.get(), args...);
        });
    };
    add("reference", Reference);
    for (BlendKernel kernel :
         {BlendKernel::Avx512, BlendKernel::Avx2, BlendKernel::Sse2, BlendKernel::Scalar})
        add(BlendKernelName(kernel), Kernel, kernel);
    add("AlphaBlendRGBA", Entry);
    add("pixman", Pixman);
#if ASKGAME_HAVE_LIBYUV
    add("libyuv", Libyuv);
#endif
}

void RegisterAll() {
    for (Content content : {Content::Random, Content::Text}) {
        for (SpriteShape shape : kShapes)
            RegisterGroup(shape, content, false);
        for (SpriteShape shape : kUncachedShapes)
            RegisterGroup(shape, content, true);
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
