// What the host and live benchmarks share: figures per frame as a share of a frame period, one
// frame copy as their reference, and the same measures registered for each frame size.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

namespace bench_frames {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Sets the counters period_60fps and period_30fps: `secondsPerFrame` as a share of a frame
// period, where 1 would fill the whole frame's time.
inline void ReportPeriodShare(benchmark::State& state, double secondsPerFrame) {
    state.counters["period_60fps"] = secondsPerFrame * 60;
    state.counters["period_30fps"] = secondsPerFrame * 30;
}

// Times the benchmark's loop on the wall clock; Report() sets the period shares per iteration.
class PeriodShare {
public:
    explicit PeriodShare(benchmark::State& state) : state_(state), start_(Clock::now()) {}
    void Report() {
        const double frames = std::max<double>(1, static_cast<double>(state_.iterations()));
        ReportPeriodShare(state_, Seconds(Clock::now() - start_) / frames);
    }

private:
    benchmark::State& state_;
    Clock::time_point start_;
};

// One copy of a width × height BGRA frame: the least any host does with a frame it passes on.
inline void FrameCopy(benchmark::State& state, int width, int height) {
    const std::vector<unsigned char> from(static_cast<std::size_t>(width) * height * 4);
    std::vector<unsigned char> to(from.size());
    PeriodShare share(state);
    for (auto _ : state) {
        std::copy(from.begin(), from.end(), to.begin());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    share.Report();
}

using Measure = void (*)(benchmark::State&, int width, int height);

// Registers PREFIX/WxH/reference (a frame copy) and PREFIX/WxH/NAME for each measure, at 720p
// and 1080p.
inline void RegisterPerSize(const std::string& prefix,
                            std::initializer_list<std::pair<const char*, Measure>> measures) {
    for (const auto& [width, height] : {std::pair{1280, 720}, std::pair{1920, 1080}}) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        auto add = [&](const char* name, Measure measure) {
            benchmark::RegisterBenchmark((prefix + "/" + size + "/" + name).c_str(), measure, width,
                                         height)
                ->Unit(benchmark::kMillisecond);
        };
        add("reference", FrameCopy);
        for (const auto& [name, measure] : measures)
            add(name, measure);
    }
}

} // namespace bench_frames
