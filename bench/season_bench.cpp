// Keeping a season's scores, as the video thread pays for it.
//
// Everything is beside Season/reference: one frame period at 30 fps.
// Season/ShowFrame: a show of 100,000 frames with a right answer in each, as the video
// thread pays for it: queueing one answer (the recorder's own thread writes the file). Below
// 0.01x is below 1 % of each frame's budget.
// Season/Commit: the writer thread's time to commit 100,000 answers, off the video
// thread, for scale.
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "season/season_recorder.h"

namespace {

constexpr int kAnswers = 100'000;
constexpr double kFramePeriod = 1.0 / 30;

std::string BenchFile() {
    const auto path = std::filesystem::temp_directory_path() /
                      ("askgame-season-bench-" + std::to_string(getpid()) + ".db");
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(path.string() + suffix);
    return path.string();
}

std::vector<season::SeasonEvent> Answers() {
    std::vector<season::SeasonEvent> answers(kAnswers);
    for (int i = 0; i < kAnswers; ++i) {
        auto& a = answers[static_cast<std::size_t>(i)];
        a.atMs = i;
        a.viewer = static_cast<std::uint32_t>(i);
        a.name = "viewer number " + std::to_string(i);
        a.questionNumber = 1 + i % 20;
        a.question = "下面哪一座城市是法国的首都？";
        a.points = 1;
    }
    return answers;
}

// The frame period on the wall clock, as the video thread lives it.
void FramePeriod(benchmark::State& state) {
    for (auto _ : state)
        std::this_thread::sleep_for(std::chrono::duration<double>(kFramePeriod));
}
BENCHMARK(FramePeriod)->Name("Season/reference")->Unit(benchmark::kMillisecond);

void ShowFrame(benchmark::State& state) {
    const auto answers = Answers();
    season::SeasonRecorder recorder(BenchFile(), "bench", "free");
    std::size_t next = 0;
    for (auto _ : state) {
        recorder.Record(answers[next]); // a copy: the host builds each event afresh
        next = (next + 1) % answers.size();
    }
}
BENCHMARK(ShowFrame)->Name("Season/ShowFrame");

void Commit(benchmark::State& state) {
    const auto answers = Answers();
    season::SeasonRecorder recorder(BenchFile(), "bench", "free");
    for (auto _ : state) {
        for (const auto& answer : answers)
            recorder.Record(answer);
        recorder.Flush();
    }
}
BENCHMARK(Commit)->Name("Season/Commit")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
