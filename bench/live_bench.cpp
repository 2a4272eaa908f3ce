// What a live show costs per frame, and how soon a viewer's answer is on screen.
//
// Live/<W>x<H>/reference: one copy of a frame.
// Live/<W>x<H>/decode: a frame decoded from an H.264 file by ffmpeg and read from its pipe, as
// fast as ffmpeg goes (a camera or file input costs the show this much of a core).
// Live/<W>x<H>/effect_free, effect_challenge: the live game drawing a frame (viewers' events
// handed over, the effect drawing its question and answers or players).
// Live/<W>x<H>/encode_<preset>: a frame handed to the live outputs' H.264 encoder, encoding as
// fast as it goes.
// Live/latency/post_to_frame: frames drawn at 30 a second on a video thread of their own; each
// iteration posts a right answer from a new viewer over HTTP and measures from the moment the
// endpoint accepted it to the end of the first frame that shows it (the congratulation names
// the viewer). frames_late counts the frames that ended after the acceptance before that one: 0
// means the next frame showed it (1 when a frame was already being drawn at that moment).
//
// Counters period_30fps and period_60fps: time per frame (latency: per answer) as a share of a
// frame period.
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <unistd.h>

#include "bench/frame_period.h"
#include "hosting/encoder_input.h"
#include "hosting/frame_io.h"
#include "hosting/h264_encoder.h"
#include "hosting/live_output.h"
#include "hosting/matroska.h"
#include "hosting/plugin_loader.h"
#include "hosting/subprocess.h"
#include "hosting/test_card.h"
#include "hosting/transcript.h"
#include "show/endpoint.h"
#include "show/live_events.h"
#include "show/live_game.h"
#include "show/ui_thread.h"

namespace {

using bench_frames::Clock;
using bench_frames::PeriodShare;
using bench_frames::ReportPeriodShare;
using bench_frames::Seconds;
constexpr double kFps = 30;
constexpr int kDecodedSeconds = 4;
// Frames an encoder is handed before timing starts: its start-up is not a per-frame cost.
constexpr int kWarmUpFrames = 30;

std::string Scratch(const std::string& name) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("askgame-live-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

hosting::PluginLibrary* Plugin(std::string& error) {
    static std::unique_ptr<hosting::PluginLibrary> plugin = [&error] {
        setenv("ASKGAME_ACP", "65001", 1); // the demo's bank is UTF-8
        return hosting::PluginLibrary::Open(std::string(ASKGAME_RUNTIME_DIR) + "/libaskgame.so",
                                            error);
    }();
    return plugin.get();
}

hosting::ScenarioEvent Panel(const std::string& body) {
    return show::ParsePanelAction(body, "").event.value();
}

hosting::ScenarioEvent Chat(std::uint32_t id, const std::string& text) {
    const nlohmann::json body{{"id", id}, {"name", "viewer" + std::to_string(id)}, {"text", text}};
    return show::ParseChat(body.dump()).event.value();
}

hosting::ScenarioEvent Gift(std::uint32_t id, int value) {
    const nlohmann::json body{
        {"id", id}, {"name", "viewer" + std::to_string(id)}, {"count", 1}, {"value", value}};
    return show::ParseGift(body.dump()).event.value();
}

// A live game at the benchmark's size with the demo bank's first question on screen; in the
// challenge game three viewers have become its players.
struct Show {
    show::UiThread ui;
    hosting::Transcript transcript;
    std::unique_ptr<show::LiveGame> live;
    hosting::GameMode mode;

    Show(hosting::GameMode gameMode, int width, int height, std::string& error) : mode(gameMode) {
        hosting::PluginLibrary* plugin = Plugin(error);
        if (!plugin) return;
        show::LiveGameOptions options;
        options.mode = mode;
        options.width = width;
        options.height = height;
        options.fps = kFps;
        live = show::LiveGame::Create(*plugin, ui, transcript, options, error);
        if (!live) return;
        const std::string bank = std::string(ASKGAME_SOURCE_DIR) + "/data/scenarios/demo-bank.txt";
        live->ApplyPresenterAction(Panel(nlohmann::json{{"bank", bank}}.dump()));
        if (mode == hosting::GameMode::Challenge) {
            for (std::uint32_t id = 1; id <= 3; ++id)
                live->OfferViewerEvent(Gift(id, 10 * static_cast<int>(id)));
        } else {
            live->ApplyPresenterAction(Panel(R"({"option": "OptShowQuestion", "selected": true})"));
        }
    }
    // Pushes the question (after a few frames, so the players are in).
    void PushQuestion(std::vector<BYTE>& frame, int width, int height) {
        for (int i = 0; i < 5; ++i)
            live->DrawFrame(frame.data(), width, -height);
        live->ApplyPresenterAction(Panel(mode == hosting::GameMode::Free
                                             ? R"({"click": "ButtonShowQue"})"
                                             : R"({"click": "ButtonShowChallengQue"})"));
    }
};

// An H.264 file of the test pattern at the size, made once.
std::string DecodeInput(int width, int height, std::string& error) {
    const std::string path = Scratch(std::to_string(width) + "x" + std::to_string(height) + ".mp4");
    if (std::filesystem::exists(path)) return path;
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    hosting::Subprocess ffmpeg;
    if (!ffmpeg.Start(
            {"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
             "testsrc2=size=" + size + ":rate=30:duration=" + std::to_string(kDecodedSeconds),
             "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", path},
            hosting::Subprocess::Pipe::FromChild, error) ||
        ffmpeg.Finish() != 0) {
        error = "ffmpeg could not make the input video";
        return "";
    }
    return path;
}

void Decode(benchmark::State& state, int width, int height) {
    std::string error;
    const std::string input = hosting::FfmpegAvailable() ? DecodeInput(width, height, error) : "";
    if (input.empty()) {
        state.SkipWithError(error.empty() ? "ffmpeg is not installed" : error.c_str());
        return;
    }
    hosting::Frame frame = *hosting::MakeFrame(width, height);
    auto reader = std::make_unique<hosting::FfmpegReader>();
    if (!reader->Open(input, width, height, kFps, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    PeriodShare share(state);
    for (auto _ : state) {
        if (!reader->Next(frame)) { // the file ended: open it again, unmeasured
            state.PauseTiming();
            reader = std::make_unique<hosting::FfmpegReader>();
            reader->Open(input, width, height, kFps, error);
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(frame.pixels.data());
    }
    share.Report();
}

template <hosting::GameMode mode>
void Effect(benchmark::State& state, int width, int height) {
    std::string error;
    Show show(mode, width, height, error);
    if (!show.live) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<BYTE> frame(static_cast<std::size_t>(width) * height * 4, 96);
    show.PushQuestion(frame, width, height);
    std::uint32_t viewer = 100;
    PeriodShare share(state);
    for (auto _ : state) {
        // A viewer's answer every few frames, as a busy show has.
        if (viewer % 4 == 0) show.live->OfferViewerEvent(Chat(viewer, "B"));
        ++viewer;
        show.live->DrawFrame(frame.data(), width, -height);
        benchmark::DoNotOptimize(frame.data());
    }
    share.Report();
    show.live->Finish();
}

template <const char* preset>
void Encode(benchmark::State& state, int width, int height) {
    // The live outputs' encoder, handed pictures as fast as it encodes them: each waits until
    // few enough are on their way that none is left out (a live show would leave out what a
    // lagging encoder cannot take).
    constexpr long kOnTheirWay = 8;
    hosting::H264Settings settings{width, height, kFps, {}, 0};
    settings.encoder.preset = preset;
    std::mutex mutex;
    std::condition_variable changed;
    long encoded = 0;
    hosting::H264Encoder encoder;
    std::string error;
    if (!encoder.Open(
            settings,
            [&](std::int64_t, bool, std::span<const BYTE>) {
                std::lock_guard lock(mutex);
                ++encoded;
                changed.notify_one();
            },
            error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    hosting::EncoderInput input(width, height);
    hosting::Frame frame = *hosting::MakeFrame(width, height);
    hosting::I420Picture picture = *hosting::MakeI420Picture(width, height);
    hosting::TestCard card(width, height);
    long index = 0;
    const auto put = [&] {
        card.Draw(index, frame); // a moving picture, as a camera's is
        const auto bytes = input.Bytes(frame);
        std::copy(bytes.begin(), bytes.end(), picture.bytes.begin());
        encoder.Put(picture, std::llround(double(index++) * 1000 / kFps));
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return encoded >= index - kOnTheirWay; });
    };
    while (index < kWarmUpFrames) // the encoder starts up unmeasured
        put();
    PeriodShare share(state);
    for (auto _ : state)
        put();
    share.Report();
    encoder.Close();
}

// Frames at kFps on a thread of their own, each compared with the one before.
class PacedFrames {
public:
    PacedFrames(show::LiveGame& live, int width, int height)
        : live_(live), width_(width), height_(height),
          frame_(static_cast<std::size_t>(width) * height * 4), previous_(frame_.size()) {
        thread_ = std::thread([this] { Run(); });
    }
    ~PacedFrames() {
        stop_ = true;
        thread_.join();
    }
    // Waits for the first frame that differs from its predecessor and ends after `after`;
    // answers when it ended and how many frames ended after `after` before it. False when none
    // came within two seconds.
    bool WaitForChange(Clock::time_point after, Clock::time_point& shown, long& framesBefore) {
        std::unique_lock lock(mutex_);
        const long first = frames_;
        const bool seen = changed_.wait_for(lock, std::chrono::seconds(2), [&] {
            return lastChange_ > after && lastChangeFrame_ > first;
        });
        shown = lastChange_;
        framesBefore = lastChangeFrame_ - first - 1;
        return seen;
    }

private:
    void Run() {
        const auto period =
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1 / kFps));
        auto next = Clock::now();
        while (!stop_) {
            std::this_thread::sleep_until(next);
            next += period;
            std::fill(frame_.begin(), frame_.end(), BYTE(96));
            live_.DrawFrame(frame_.data(), width_, -height_);
            const bool changed = frame_ != previous_;
            previous_.swap(frame_);
            const auto done = Clock::now();
            std::lock_guard lock(mutex_);
            ++frames_;
            if (changed) {
                lastChange_ = done;
                lastChangeFrame_ = frames_;
            }
            changed_.notify_all();
        }
    }

    show::LiveGame& live_;
    const int width_, height_;
    std::vector<BYTE> frame_, previous_;
    std::mutex mutex_;
    std::condition_variable changed_;
    long frames_ = 0;
    Clock::time_point lastChange_{};
    long lastChangeFrame_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void PostToFrame(benchmark::State& state) {
    constexpr int kWidth = 1280, kHeight = 720;
    std::string error;
    Show show(hosting::GameMode::Free, kWidth, kHeight, error);
    if (!show.live) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<BYTE> scratch(std::size_t{kWidth} * kHeight * 4);
    show.PushQuestion(scratch, kWidth, kHeight);
    show::EndpointOptions options;
    options.port = 0;
    options.token = show::NewToken();
    show::Endpoint endpoint(*show.live, options);
    if (!endpoint.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    httplib::Client client("127.0.0.1", endpoint.Port());
    client.set_bearer_token_auth(options.token);
    client.set_read_timeout(5);

    PacedFrames frames(*show.live, kWidth, kHeight);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the question is drawn
    std::uint32_t viewer = 1000;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> phase(0, static_cast<int>(1e6 / kFps));
    double totalSeconds = 0;
    long totalLate = 0;
    for (auto _ : state) {
        // Settle for a few frames with nothing new, then post at a random point of a frame
        // period (a fixed pause would keep every post at the same phase of the frames).
        std::this_thread::sleep_for(std::chrono::microseconds(100'000 + phase(random)));
        const nlohmann::json body{
            {"id", ++viewer}, {"name", "v" + std::to_string(viewer)}, {"text", "B"}};
        const auto reply = client.Post("/api/chat", body.dump(), "application/json");
        const auto accepted = Clock::now();
        if (!reply || reply->status != 200) {
            state.SkipWithError("the endpoint refused the answer");
            break;
        }
        Clock::time_point shown;
        long late = 0;
        if (!frames.WaitForChange(accepted, shown, late)) {
            state.SkipWithError("no frame showed the answer within two seconds");
            break;
        }
        const double seconds = Seconds(shown - accepted);
        state.SetIterationTime(seconds);
        totalSeconds += seconds;
        totalLate += late;
    }
    const double answers = std::max<double>(1, static_cast<double>(state.iterations()));
    ReportPeriodShare(state, totalSeconds / answers);
    state.counters["frames_late"] = static_cast<double>(totalLate) / answers;
    endpoint.Stop();
    show.live->Finish();
}

constexpr char kUltrafast[] = "ultrafast";
constexpr char kVeryfast[] = "veryfast";

} // namespace

int main(int argc, char** argv) {
    bench_frames::RegisterPerSize("Live",
                                  {
                                      {"decode", Decode},
                                      {"effect_free", Effect<hosting::GameMode::Free>},
                                      {"effect_challenge", Effect<hosting::GameMode::Challenge>},
                                      {"encode_ultrafast", Encode<kUltrafast>},
                                      {"encode_veryfast", Encode<kVeryfast>},
                                  });
    benchmark::RegisterBenchmark("Live/latency/post_to_frame", PostToFrame)
        ->UseManualTime()
        ->Iterations(30)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(Scratch("x")).parent_path(), ignored);
}
