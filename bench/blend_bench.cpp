// AlphaBlendRGBA on a full HD frame; placeholder until the kernels land.
#include <benchmark/benchmark.h>

#include <vector>

#include "render/blend.h"

static void BM_BlendFullFrame(benchmark::State& state) {
    std::vector<BYTE> frame(1920 * 1080 * 4, 10), sprite(1920 * 1080 * 4, 128);
    for (auto _ : state) {
        RECT d{0, 0, 1920, 1080}, s{0, 0, 1920, 1080};
        benchmark::DoNotOptimize(AlphaBlendRGBA(frame.data(), 1920, 1080, 1920 * 4, sprite.data(),
                                                1920, 1080, 1920 * 4, &d, &s));
    }
}
BENCHMARK(BM_BlendFullFrame);
BENCHMARK_MAIN();
