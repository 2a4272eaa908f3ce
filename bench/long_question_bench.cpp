// Frames while a long question is submitted.
//
// LongSubmit/<game>/worst_frame: the presenter's thread submits a question of 2,000 UTF-16 units
// (tens of milliseconds to lay out and rasterise) in place of another one as long, while the video
// thread draws 1920 × 1080 frames without pause; each iteration's time is the slowest ProcessFrame
// seen during one submit. LongSubmit/<game>/reference: the frame period at 60 fps, so the ratio
// says how much of one frame the worst stall takes (a render made under the effect's lock would
// show as more than 1). LongSubmit/challenge/worst_frame_submit_elsewhere: the same while the
// question goes to another challenge effect, which shows what a second busy thread alone costs the
// video thread. The counters: submit_ms, the submit's own time, for scale; worst_of_all_ms, the
// slowest frame of every iteration.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "game/audience_tracker.h"
#include "game/challenge_game.h"
#include "game/free_mode.h"

namespace {

constexpr int kW = 1920, kH = 1080;
constexpr double kFramePeriod = 1.0 / 60; // seconds
constexpr std::size_t kQuestionUnits = 2000;

using Clock = std::chrono::steady_clock;

std::u16string LongQuestion() {
    std::u16string text;
    while (text.size() < kQuestionUnits)
        text += u"下面哪一座城市是法国的首都？ A 伦敦 B 巴黎 C 罗马 D 柏林 ";
    return text.substr(0, kQuestionUnits);
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Draws frames through `game` until `submit` (run on another thread) returns; answers the
// slowest frame and sets the submit's duration.
template <class Game, class Submit>
double WorstFrameDuring(Game& game, std::vector<BYTE>& frame, Submit submit,
                        double* submitSeconds) {
    std::atomic<bool> done{false};
    std::thread presenter([&] {
        const auto start = Clock::now();
        submit();
        *submitSeconds = Seconds(Clock::now() - start);
        done = true;
    });
    double worst = 0;
    while (!done) {
        const auto start = Clock::now();
        game.ProcessFrame(frame.data(), 0, 4, 0, kW, kH, 0);
        worst = std::max(worst, Seconds(Clock::now() - start));
    }
    presenter.join();
    return worst;
}

void ChallengeWorstFrame(benchmark::State& state) {
    DropLibraryAudienceTracker();
    CChallengeGameImpl game;
    game.Init(kW, kH, 0);
    std::vector<BYTE> frame(std::size_t{kW} * kH * 4);
    const std::u16string question = LongQuestion();
    double submitTotal = 0, worstOfAll = 0;
    game.SubmitQuestion(question.c_str()); // frames draw a long question throughout
    int submitted = 1;
    for (auto _ : state) {
        if (++submitted > CChallengeGameImpl::kQuestionsPerRound) { // unmeasured: a new round
            game.NewRound();
            game.SubmitQuestion(question.c_str());
            submitted = 2;
        }
        double submit = 0;
        const double worst = WorstFrameDuring(
            game, frame, [&] { game.SubmitQuestion(question.c_str()); }, &submit);
        state.SetIterationTime(worst);
        worstOfAll = std::max(worstOfAll, worst);
        submitTotal += submit;
    }
    state.counters["submit_ms"] = 1000 * submitTotal / static_cast<double>(state.iterations());
    state.counters["worst_of_all_ms"] = 1000 * worstOfAll;
}

// The same submit made to another challenge effect: what the video thread loses to a second busy
// thread on the same cores, with no lock of its own effect involved.
void ChallengeWorstFrameSubmitElsewhere(benchmark::State& state) {
    DropLibraryAudienceTracker();
    CChallengeGameImpl game, elsewhere;
    game.Init(kW, kH, 0);
    elsewhere.Init(kW, kH, 0);
    std::vector<BYTE> frame(std::size_t{kW} * kH * 4);
    const std::u16string question = LongQuestion();
    game.SubmitQuestion(question.c_str()); // the frames' own effect shows a long question too
    for (auto _ : state) {
        elsewhere.NewRound();
        double submit = 0;
        state.SetIterationTime(WorstFrameDuring(
            game, frame, [&] { elsewhere.SubmitQuestion(question.c_str()); }, &submit));
    }
}

void FreeModeWorstFrame(benchmark::State& state) {
    CFreeModeImpl game;
    game.Init(kW, kH, 0);
    game.SetShowQuestionText(true);
    std::vector<BYTE> frame(std::size_t{kW} * kH * 4);
    const std::u16string question = LongQuestion();
    double submitTotal = 0, worstOfAll = 0;
    for (auto _ : state) {
        double submit = 0;
        const double worst = WorstFrameDuring(
            game, frame, [&] { game.PresentQuestion(question.c_str()); }, &submit);
        state.SetIterationTime(worst);
        worstOfAll = std::max(worstOfAll, worst);
        submitTotal += submit;
    }
    state.counters["submit_ms"] = 1000 * submitTotal / static_cast<double>(state.iterations());
    state.counters["worst_of_all_ms"] = 1000 * worstOfAll;
}

void FramePeriod(benchmark::State& state) {
    for (auto _ : state)
        state.SetIterationTime(kFramePeriod);
}

BENCHMARK(ChallengeWorstFrame)
    ->Name("LongSubmit/challenge/worst_frame")
    ->UseManualTime()
    ->Iterations(20);
BENCHMARK(ChallengeWorstFrameSubmitElsewhere)
    ->Name("LongSubmit/challenge/worst_frame_submit_elsewhere")
    ->UseManualTime()
    ->Iterations(20);
BENCHMARK(FramePeriod)->Name("LongSubmit/challenge/reference")->UseManualTime()->Iterations(1);
BENCHMARK(FreeModeWorstFrame)->Name("LongSubmit/free/worst_frame")->UseManualTime()->Iterations(20);
BENCHMARK(FramePeriod)->Name("LongSubmit/free/reference")->UseManualTime()->Iterations(1);

} // namespace

BENCHMARK_MAIN();
