// What the filter costs a video tool per frame beside what askgame-host spends on the same
// frame: both take a frame that has arrived in a buffer of their own and have the free game draw
// a shown question on it. The host copies the arriving picture into its frame and hands it over
// top-down; the filter copies the tool's input to its output and draws on that in place.
#include <dlfcn.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

extern "C" {
#include <frei0r.h>
}

#include "hosting/hosted_game.h"
#include "hosting/scenario.h"
#include "hosting/test_card.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr double kFps = 25;

// A free game that shows its question from the first frame on.
std::string WriteShow() {
    const std::string folder = "/tmp/askgame-frei0r-bench";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/bank.txt")
        << "[问题]\nWhich planet is red? A Mars B Venus\n[答案]\nA\n";
    std::ofstream(folder + "/show.json") << R"({"mode": "free", "lcid": 1033, "events": [
        {"at": 0, "bank": "bank.txt"},
        {"at": 0, "option": "OptShowQuestion", "selected": true},
        {"at": 0, "click": "ButtonShowQue"}]})";
    return folder + "/show.json";
}

// Bytes that differ from the card: the game must draw for the figures to mean anything.
double DrawnBytes(const hosting::Frame& frame, const hosting::Frame& card) {
    double drawn = 0;
    for (std::size_t i = 0; i < card.pixels.size(); ++i)
        drawn += frame.pixels[i] != card.pixels[i];
    return drawn;
}

hosting::Frame Card() {
    hosting::Frame card = *hosting::MakeFrame(kWidth, kHeight);
    hosting::TestCard(kWidth, kHeight).Draw(0, card);
    return card;
}

void HostFrame(benchmark::State& state) {
    setenv("ASKGAME_ACP", "65001", 0);
    std::string error;
    auto plugin = hosting::PluginLibrary::Open(ASKGAME_RUNTIME_DIR "/libaskgame.so", error);
    auto parsed = hosting::LoadScenarioFile(WriteShow());
    if (!plugin || !parsed.scenario) return state.SkipWithError((error + parsed.error).c_str());
    hosting::Transcript transcript;
    auto game = hosting::HostedGame::Create(*plugin, hosting::GameMode::Free, kWidth, kHeight, 1033,
                                            transcript, error);
    if (!game) return state.SkipWithError(error.c_str());
    for (const auto& event : parsed.scenario->events)
        game->Apply(event, error);
    const hosting::Frame card = Card();
    hosting::Frame frame = card;
    for (auto _ : state) {
        std::memcpy(frame.pixels.data(), card.pixels.data(), card.pixels.size());
        game->ProcessFrame(frame);
        benchmark::DoNotOptimize(frame.pixels.data());
    }
    state.counters["drawn"] = DrawnBytes(frame, card);
}

void FilterFrame(benchmark::State& state) {
    setenv("ASKGAME_ACP", "65001", 0);
    void* filter = dlopen(ASKGAME_FREI0R_FILTER, RTLD_NOW | RTLD_LOCAL);
    if (!filter) return state.SkipWithError(dlerror());
    auto construct = reinterpret_cast<decltype(&f0r_construct)>(dlsym(filter, "f0r_construct"));
    auto set =
        reinterpret_cast<decltype(&f0r_set_param_value)>(dlsym(filter, "f0r_set_param_value"));
    auto update = reinterpret_cast<decltype(&f0r_update)>(dlsym(filter, "f0r_update"));
    auto destruct = reinterpret_cast<decltype(&f0r_destruct)>(dlsym(filter, "f0r_destruct"));
    f0r_instance_t instance = construct(kWidth, kHeight);
    const std::string show = WriteShow();
    char* value = const_cast<char*>(show.c_str());
    set(instance, &value, 0);
    const hosting::Frame card = Card();
    hosting::Frame out = card;
    long index = 0;
    for (auto _ : state) {
        update(instance, static_cast<double>(index++) / kFps,
               reinterpret_cast<const uint32_t*>(card.pixels.data()),
               reinterpret_cast<uint32_t*>(out.pixels.data()));
        benchmark::DoNotOptimize(out.pixels.data());
    }
    state.counters["drawn"] = DrawnBytes(out, card);
    destruct(instance);
}

BENCHMARK(HostFrame)->Name("frame/1280x720/reference")->Unit(benchmark::kMicrosecond);
BENCHMARK(FilterFrame)->Name("frame/1280x720/filter")->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
