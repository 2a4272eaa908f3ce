// What the OBS source adds to each frame beside drawing the game: clearing the next canvas and
// turning its premultiplied colours straight for OBS, against one copy of a frame of the size.
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "adapters/obs/canvas.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
// The share of rows the game covers partly (question and answer bands, text edges).
constexpr int kCoveredRowsPercent = 25;

std::size_t Pixels() {
    return std::size_t(kWidth) * kHeight;
}

void Reference(benchmark::State& state) {
    std::vector<std::uint8_t> from(Pixels() * 4, 7), to(Pixels() * 4);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size());
        benchmark::ClobberMemory();
    }
}

void Clear(benchmark::State& state) {
    obs_adapter::CanvasRing ring(kWidth, kHeight);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ring.Next());
        benchmark::ClobberMemory();
    }
}

void Straight(benchmark::State& state) {
    std::vector<std::uint8_t> canvas(Pixels() * 4, 0);
    const std::size_t covered = std::size_t(kHeight) * kCoveredRowsPercent / 100 * kWidth;
    for (std::size_t i = 0; i < covered; ++i) {
        const auto alpha = static_cast<std::uint8_t>(i % 256);
        for (int c = 0; c < 3; ++c)
            canvas[i * 4 + c] = static_cast<std::uint8_t>(alpha / 2);
        canvas[i * 4 + 3] = alpha;
    }
    std::vector<std::uint8_t> work(canvas.size());
    for (auto _ : state) {
        state.PauseTiming();
        work = canvas;
        state.ResumeTiming();
        obs_adapter::PremultipliedToStraight(work.data(), Pixels());
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(Reference)->Name("ObsCanvas/1080p/reference")->Unit(benchmark::kMicrosecond);
BENCHMARK(Clear)->Name("ObsCanvas/1080p/clear")->Unit(benchmark::kMicrosecond);
BENCHMARK(Straight)->Name("ObsCanvas/1080p/straight")->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
