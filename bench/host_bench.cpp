// What the host costs per frame, around the plug-in.
//
// Host/<W>x<H>/reference: one copy of a frame, the least any host does with a frame it passes on.
// Host/<W>x<H>/test_card: drawing the test card into the frame.
// Host/<W>x<H>/<mode>_effect: the effect drawing a frame of the demo show (its question, score
// list or players on screen), through the host's audience source and panel.
// Host/<W>x<H>/<mode>_frame: test card and effect, the host's whole per-frame work before the
// frame leaves it.
// Host/<W>x<H>/png_sink, mp4_<preset>_sink: test-card frames handed to a PNG folder (a writer per
// core) and to ffmpeg's x264; each Put waits while the sink is behind, so the time is its pace
// (what is still queued at the end is not counted; the first frames start the sink unmeasured).
//
// Every benchmark above also reports period_60fps and period_30fps (see bench/frame_period.h).
//
// Scenario/reference: reading the bytes of a scenario of 200,000 viewers, each declared and
// chatting once (about 20 MB), the least any loader does.
// Scenario/viewers_<n>: loading a scenario of n viewers so made (20,000 and 200,000); x_reference
// is its time over that of reading the same file's bytes, measured in the same process just
// before, and us_per_viewer shows whether the time grows in step with the viewers.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "bench/frame_period.h"
#include "hosting/frame_io.h"
#include "hosting/hosted_game.h"
#include "hosting/player.h"
#include "hosting/png_sequence.h"
#include "hosting/scenario.h"
#include "hosting/transcript.h"

namespace {

using namespace hosting;
using bench_frames::PeriodShare;

// The demo shows are played up to this time before frames are measured: a question is on
// screen with the first answers (free) or the players (challenge).
constexpr double kShowSeconds = 4.7;

Frame NewFrame(int width, int height) {
    return *MakeFrame(width, height);
}

std::string ScratchFolder(const char* name) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("askgame-bench-" + std::to_string(getpid()) + "-" + name);
    std::filesystem::create_directories(path);
    return path.string();
}

// A demo game played up to kShowSeconds at the benchmark's size.
struct DemoGame {
    std::unique_ptr<PluginLibrary> plugin;
    Transcript transcript;
    std::unique_ptr<HostedGame> game;

    DemoGame(GameMode mode, int width, int height, std::string& error) {
        setenv("ASKGAME_ACP", "65001", 1); // the demo's bank is UTF-8
        plugin = PluginLibrary::Open(std::string(ASKGAME_RUNTIME_DIR) + "/libaskgame.so", error);
        if (!plugin) return;
        const char* file = mode == GameMode::Free ? "demo-free.json" : "demo-challenge.json";
        auto loaded = LoadScenarioFile(std::string(ASKGAME_SOURCE_DIR) + "/data/scenarios/" + file);
        if (!loaded.scenario) {
            error = loaded.error;
            return;
        }
        Scenario& show = *loaded.scenario;
        show.width = width;
        show.height = height;
        show.duration = kShowSeconds;
        std::erase_if(show.events, [](const ScenarioEvent& e) {
            return e.kind == ActionKind::Still || e.at > kShowSeconds;
        });
        game = HostedGame::Create(*plugin, mode, width, height, 1033, transcript, error);
        if (!game) return;
        TestCardSource card(width, height);
        PlayOptions quiet;
        quiet.quiet = true;
        const PlayResult played = PlayScenario(*game, show, card, nullptr, transcript, quiet);
        if (!played.ok) {
            error = played.error;
            game.reset();
        }
    }
};

void TestCardFrame(benchmark::State& state, int width, int height) {
    Frame frame = NewFrame(width, height);
    TestCardSource card(frame.width, frame.height);
    PeriodShare share(state);
    for (auto _ : state) {
        card.Next(frame);
        benchmark::DoNotOptimize(frame.pixels.data());
    }
    share.Report();
}

template <GameMode mode, bool withCard>
void EffectFrame(benchmark::State& state, int width, int height) {
    Frame frame = NewFrame(width, height);
    std::string error;
    DemoGame demo(mode, frame.width, frame.height, error);
    if (!demo.game) {
        state.SkipWithError(error.c_str());
        return;
    }
    TestCardSource card(frame.width, frame.height);
    card.Next(frame);
    PeriodShare share(state);
    for (auto _ : state) {
        if constexpr (withCard) card.Next(frame);
        demo.game->ProcessFrame(frame);
        benchmark::DoNotOptimize(frame.pixels.data());
    }
    share.Report();
    demo.game->Finish();
}

// Hands `sink` test-card frames; a few first frames fill the sink's pipeline unmeasured.
void Feed(benchmark::State& state, FrameSink& sink, Frame& frame) {
    TestCardSource card(frame.width, frame.height);
    for (int i = 0; i < 30; ++i) {
        card.Next(frame);
        sink.Put(frame);
    }
    PeriodShare share(state);
    for (auto _ : state) {
        card.Next(frame);
        if (!sink.Put(frame)) {
            state.SkipWithError("the sink refused a frame");
            break;
        }
    }
    share.Report();
    std::string error;
    if (!sink.Close(error)) state.SkipWithError(error.c_str());
}

void PngSink(benchmark::State& state, int width, int height) {
    Frame frame = NewFrame(width, height);
    const std::string folder = ScratchFolder("png");
    {
        PngSequenceSink sink(folder);
        Feed(state, sink, frame);
    }
    std::filesystem::remove_all(folder);
}

template <const char* preset>
void Mp4Sink(benchmark::State& state, int width, int height) {
    Frame frame = NewFrame(width, height);
    const std::string folder = ScratchFolder("mp4");
    FfmpegWriter writer;
    std::string error;
    EncoderSettings settings;
    settings.preset = preset;
    if (!FfmpegAvailable() ||
        !writer.Open(folder + "/out.mp4", frame.width, frame.height, 30, error, settings)) {
        state.SkipWithError(error.empty() ? "ffmpeg is not installed" : error.c_str());
        return;
    }
    Feed(state, writer, frame);
    std::filesystem::remove_all(folder);
}

constexpr char kUltrafast[] = "ultrafast";
constexpr char kVeryfast[] = "veryfast";

constexpr int kRoomViewers = 200'000;

// The scenario file of a room of `viewers`, each declared and answering once, written on first
// use and removed when the process ends.
const std::string& RoomScenario(int viewers) {
    struct Rooms {
        std::string folder = ScratchFolder("rooms");
        std::map<int, std::string> files;
        ~Rooms() { std::filesystem::remove_all(folder); }
    };
    static Rooms rooms;
    std::string& path = rooms.files[viewers];
    if (!path.empty()) return path;
    path = rooms.folder + "/room-" + std::to_string(viewers) + ".json";
    std::ofstream out(path, std::ios::binary);
    out << R"({"mode": "free", "viewers": {)";
    for (int i = 0; i < viewers; ++i)
        out << (i ? ",\n" : "\n") << "\"v" << i << "\": {\"id\": " << i + 1
            << ", \"name\": \"Viewer " << i << "\"}";
    out << "},\n\"events\": [";
    for (int i = 0; i < viewers; ++i)
        out << (i ? ",\n" : "\n") << "{\"at\": " << i / 1000 << ", \"chat\": \"v" << i
            << "\", \"text\": \"B\"}";
    out << "]}\n";
    return path;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::filesystem::file_size(path), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void ScenarioBytes(benchmark::State& state) {
    const std::string& path = RoomScenario(kRoomViewers);
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadBytes(path).size());
}

void ScenarioLoad(benchmark::State& state, int viewers) {
    const std::string& path = RoomScenario(viewers);
    // The reference: the bytes of the same file read a few times; the quickest counts.
    double reference = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto start = bench_frames::Clock::now();
        benchmark::DoNotOptimize(ReadBytes(path).size());
        reference = std::min(reference, bench_frames::Seconds(bench_frames::Clock::now() - start));
    }
    const auto start = bench_frames::Clock::now();
    for (auto _ : state) {
        const ScenarioResult loaded = LoadScenarioFile(path);
        if (!loaded.scenario) return state.SkipWithError(loaded.error.c_str());
        benchmark::DoNotOptimize(loaded.scenario->events.data());
    }
    const double each = bench_frames::Seconds(bench_frames::Clock::now() - start) /
                        std::max<double>(1, static_cast<double>(state.iterations()));
    state.counters["x_reference"] = each / reference;
    state.counters["us_per_viewer"] = each * 1e6 / viewers;
}

} // namespace

int main(int argc, char** argv) {
    bench_frames::RegisterPerSize("Host",
                                  {
                                      {"test_card", TestCardFrame},
                                      {"free_effect", EffectFrame<GameMode::Free, false>},
                                      {"challenge_effect", EffectFrame<GameMode::Challenge, false>},
                                      {"free_frame", EffectFrame<GameMode::Free, true>},
                                      {"challenge_frame", EffectFrame<GameMode::Challenge, true>},
                                      {"png_sink", PngSink},
                                      {"mp4_ultrafast_sink", Mp4Sink<kUltrafast>},
                                      {"mp4_veryfast_sink", Mp4Sink<kVeryfast>},
                                  });
    benchmark::RegisterBenchmark("Scenario/reference", ScenarioBytes)
        ->Unit(benchmark::kMillisecond);
    for (const int viewers : {kRoomViewers / 10, kRoomViewers})
        benchmark::RegisterBenchmark(("Scenario/viewers_" + std::to_string(viewers)).c_str(),
                                     ScenarioLoad, viewers)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
