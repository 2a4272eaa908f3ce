// The overlay path at 1920 × 1080 I420: the game drawn on a transparent canvas, its inked tiles
// found and composited onto the picture. Each figure beside a reference from the same run:
//
// Composite/area_<p>pct: compositing (ink already found) a canvas whose ink, text-like glyph
//   strokes with transparent gaps, fills a full-width band over p % of the frame. The band is
//   timed alternately with the same canvas inked over the whole frame, iteration by iteration,
//   and x_full_area is the band's time over the whole frame's (goal at 10 %: at most 0.2). The
//   time shown is the band's; ink_share is the share of the frame in inked tiles.
// FindInk/area_<p>pct: one search of the canvas for ink, timed alternately with a memcpy of the
//   canvas's bytes; x_memcpy is the search's time over the copy's.
// Overlay/<scene>: askgame's whole per-frame overlay cost, the real plug-in loaded as a host
//   loads it: Begin (clearing the last frame's ink), the game drawing onto the canvas, FindInk
//   and CompositeOnto an I420 picture. Scenes of the free-mode game with a 30-character CJK
//   question, in Simplified Chinese:
//     question   the question asked: the prompt and the question on their bands;
//     scores     three viewers answered right: the leaderboard's title and three score lines,
//                the right answer and the congratulation (the game no longer draws the question);
//     question_and_scores  both games drawing onto one canvas, so that the question and the
//                three score lines are on one frame, as a text filter would draw them.
//   x_frame_copy is the time over a copy of the I420 picture, timed just before (the least any
//   host does with a frame it passes on); share_begin, share_draw, share_find and
//   share_composite are each step's share of the time; bench/drawtext.py sets the cpu_time of
//   question_and_scores beside FFmpeg's drawtext drawing the same text. The question and score
//   lines are in the JSON output's context, for it to draw.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "hosting/hosted_game.h"
#include "hosting/overlay.h"
#include "hosting/picture.h"
#include "hosting/scenario.h"
#include "hosting/transcript.h"
#include "hosting/yuv_convert.h"

namespace {

using namespace hosting;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1920, kHeight = 1080;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// ---- Pictures and canvases ----

// An I420 picture of one colour: FFmpeg's color=c=0x336699, which drawtext.py draws on.
struct SolidI420 {
    std::vector<BYTE> bytes = std::vector<BYTE>(I420Bytes(kWidth, kHeight));
    PictureView view = PackedI420(bytes.data(), kWidth, kHeight);

    SolidI420() {
        using namespace bt601;
        constexpr int r = 0x33, g = 0x66, b = 0x99;
        const std::size_t luma = std::size_t{kWidth} * kHeight;
        const std::size_t chroma = std::size_t(ChromaSide(kWidth)) * ChromaSide(kHeight);
        std::fill_n(bytes.begin(), luma, BYTE(kYOffset + ((kYr * r + kYg * g + kYb * b) >> 8)));
        std::fill_n(bytes.begin() + luma, chroma,
                    BYTE(kChromaOffset + ((kUr * r + kUg * g + kUb * b) >> 8)));
        std::fill_n(bytes.begin() + luma + chroma, chroma,
                    BYTE(kChromaOffset + ((kVr * r + kVg * g + kVb * b) >> 8)));
    }
};

// Coverage `a` of white text at (x, y), kept where the canvas already holds more; nothing at or
// below row `bottom`.
void Cover(BYTE* canvas, int bottom, int x, int y, int a) {
    if (y >= bottom) return;
    BYTE* p = canvas + (std::size_t(y) * kWidth + x) * 4;
    if (p[3] >= a) return;
    p[0] = p[1] = p[2] = p[3] = BYTE(a); // white, premultiplied by its coverage
}

// A stroke two pixels wide with a soft pixel either side, from (x0, y0) along one axis.
void Stroke(BYTE* canvas, int bottom, int x0, int y0, int length, bool horizontal) {
    constexpr int kProfile[4] = {96, 255, 255, 96}; // coverage across the stroke
    for (int along = 0; along < length; ++along)
        for (int across = 0; across < 4; ++across)
            horizontal ? Cover(canvas, bottom, x0 + along, y0 + across, kProfile[across])
                       : Cover(canvas, bottom, x0 + across, y0 + along, kProfile[across]);
}

// Text-like ink over rows [top, bottom) of the whole width: lines of 24-pixel glyph cells 26
// pixels apart, 30 pixels from line to line, each glyph a few random horizontal and vertical
// strokes, so the ink has transparent gaps inside and between glyphs as real text has. The last
// line is cut at `bottom`.
void InkBand(BYTE* canvas, int top, int bottom) {
    constexpr int kCell = 24, kAdvance = 26, kLinePitch = 30, kStrokeSpan = 4;
    std::mt19937 random(20240601u + unsigned(top));
    for (int line = top; line < bottom; line += kLinePitch)
        for (int cell = 1; cell + kCell < kWidth; cell += kAdvance) {
            const int strokes = 2 + int(random() % 4);
            for (int s = 0; s < strokes; ++s) {
                const bool horizontal = random() % 2 == 0;
                const int start = int(random() % 8), length = 10 + int(random() % (kCell - 10 - 1));
                const int at = int(random() % (kCell - kStrokeSpan));
                if (horizontal)
                    Stroke(canvas, bottom, cell + start, line + at, std::min(length, kCell - start),
                           true);
                else
                    Stroke(canvas, bottom, cell + at, line + start, std::min(length, kCell - start),
                           false);
            }
        }
}

// An overlay whose canvas holds text-like ink over `share` of the frame, in one full-width band
// centred on the frame and starting on a tile row, its ink found.
std::unique_ptr<Overlay> InkedOverlay(double share) {
    auto overlay = std::make_unique<Overlay>(kWidth, kHeight);
    BYTE* canvas = overlay->Begin();
    const int rows = std::clamp(int(share * kHeight + 0.5), 0, kHeight);
    const int top = std::max(0, (kHeight - rows) / 2 / kInkTileRows * kInkTileRows);
    InkBand(canvas, top, std::min(kHeight, top + rows));
    overlay->FindInk();
    return overlay;
}

double InkShare(const Overlay& overlay) {
    return double(overlay.InkArea()) / (double(kWidth) * kHeight);
}

// Times `measured` and `reference` alternately, once each an iteration, so that a change in the
// machine's load weighs on both alike. The benchmark's time is the measured work's; `counter`
// is its time over the reference's.
template <class Measured, class Reference>
void Alternately(benchmark::State& state, const char* counter, Measured measured,
                 Reference reference) {
    double measuredSeconds = 0, referenceSeconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        measured();
        const auto middle = Clock::now();
        reference();
        const auto end = Clock::now();
        measuredSeconds += Seconds(middle - start);
        referenceSeconds += Seconds(end - middle);
        state.SetIterationTime(Seconds(middle - start));
    }
    if (referenceSeconds > 0) state.counters[counter] = measuredSeconds / referenceSeconds;
    state.counters["reference_ms"] =
        referenceSeconds * 1e3 / std::max<double>(1, double(state.iterations()));
}

void Composite(benchmark::State& state, double share) {
    const auto band = InkedOverlay(share);
    const auto whole = InkedOverlay(1.0);
    SolidI420 picture;
    Alternately(
        state, "x_full_area",
        [&] {
            band->CompositeOnto(picture.view);
            benchmark::ClobberMemory();
        },
        [&] {
            whole->CompositeOnto(picture.view);
            benchmark::ClobberMemory();
        });
    state.counters["ink_share"] = InkShare(*band);
}

void FindInk(benchmark::State& state, double share) {
    const auto overlay = InkedOverlay(share);
    std::vector<BYTE> copy(overlay->Stride() * kHeight);
    const std::size_t bytes = copy.size();
    Alternately(
        state, "x_memcpy",
        [&] {
            overlay->FindInk();
            benchmark::DoNotOptimize(overlay->Ink().data());
        },
        [&] {
            std::memcpy(copy.data(), overlay->Canvas(), bytes);
            benchmark::DoNotOptimize(copy.data());
            benchmark::ClobberMemory();
        });
    state.counters["ink_share"] = InkShare(*overlay);
}

// ---- The real plug-in ----

// 30 characters, as the question a presenter types; the right answer; three viewers.
constexpr char kQuestion[] = "请问下列哪一座城市是中华人民共和国的首都并且拥有故宫和天坛？";
static_assert(sizeof kQuestion == 30 * 3 + 1, "30 characters of three UTF-8 bytes each");
constexpr char kAnswer[] = "北京";
constexpr const char* kViewerNames[3] = {"王小明", "李娜", "阿杰不熬夜"};
constexpr LCID kSimplifiedChinese = 2052;

// The lines the game shows for three viewers with one point each (rank label, points in three
// places, name), as a text filter is to draw them.
std::vector<std::string> ScoreLines() {
    const char* ranks[3] = {"第一名 ", "第二名 ", "第三名 "};
    std::vector<std::string> lines;
    for (int r = 0; r < 3; ++r)
        lines.push_back(std::string(ranks[r]) + "  1 " + kViewerNames[r]);
    return lines;
}

// The presenter asks kQuestion; with `answered`, the three viewers then answer it right.
std::string SceneScenario(bool answered) {
    std::string json = R"({"mode": "free", "viewers": {)";
    for (int v = 0; v < 3; ++v)
        json += std::string(v ? ", " : "") + "\"v" + std::to_string(v) +
                "\": {\"id\": " + std::to_string(1001 + v) + ", \"name\": \"" + kViewerNames[v] +
                "\"}";
    json += R"(}, "events": [
        {"at": 0, "option": "OptShowQuestion", "selected": true},
        {"at": 0, "type": "Question", "text": ")" +
            std::string(kQuestion) + R"("},
        {"at": 0, "type": "RightAnswer", "text": ")" +
            std::string(kAnswer) + R"("},
        {"at": 0, "click": "ButtonShowQue"})";
    if (answered)
        for (int v = 0; v < 3; ++v)
            json += ",\n{\"at\": 0, \"chat\": \"v" + std::to_string(v) + "\", \"text\": \"" +
                    kAnswer + "\"}";
    return json + "]}";
}

// The plug-in, loaded once for every scene.
PluginLibrary* Plugin(std::string& error) {
    static std::string openError;
    static const std::unique_ptr<PluginLibrary> plugin = [] {
        setenv("ASKGAME_ACP", "65001", 1);
        return PluginLibrary::Open(std::string(ASKGAME_RUNTIME_DIR) + "/libaskgame.so", openError);
    }();
    error = openError;
    return plugin.get();
}

// One free-mode game played up to its scene on the overlay's canvas.
struct SceneGame {
    Transcript transcript;
    std::unique_ptr<HostedGame> game;

    SceneGame(bool answered, Overlay& overlay, std::string& error) {
        PluginLibrary* plugin = Plugin(error);
        if (!plugin) return;
        const auto parsed = ParseScenario(SceneScenario(answered), "overlay-scene.json", ".");
        if (!parsed.scenario) {
            error = parsed.error;
            return;
        }
        game = HostedGame::Create(*plugin, GameMode::Free, kWidth, kHeight, kSimplifiedChinese,
                                  transcript, error);
        if (!game) return;
        for (const ScenarioEvent& event : parsed.scenario->events)
            if (!game->Apply(event, error)) {
                game.reset();
                return;
            }
        // The game takes the viewers' answers with the next frame it draws.
        game->ProcessTopDown(overlay.Begin(), kWidth, kHeight);
        if (answered && game->Scores().Count() != 3) {
            error = "the three viewers' answers did not score:\n" + transcript.ToString();
            game.reset();
        }
    }
    ~SceneGame() {
        if (game) game->Finish();
    }
};

// A copy of the I420 picture, the mean of a few, timed before the overlay is.
double FrameCopySeconds(const SolidI420& picture) {
    std::vector<BYTE> copy(picture.bytes.size());
    constexpr int kCopies = 50;
    const auto start = Clock::now();
    for (int i = 0; i < kCopies; ++i) {
        std::memcpy(copy.data(), picture.bytes.data(), copy.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    return Seconds(Clock::now() - start) / kCopies;
}

void WholeOverlay(benchmark::State& state, bool question, bool scores) {
    Overlay overlay(kWidth, kHeight);
    SolidI420 picture;
    std::string error;
    std::vector<std::unique_ptr<SceneGame>> games;
    for (const bool answered : {false, true}) {
        if (answered ? !scores : !question) continue;
        games.push_back(std::make_unique<SceneGame>(answered, overlay, error));
        if (!games.back()->game) return state.SkipWithError(error.c_str());
    }
    const double reference = FrameCopySeconds(picture);
    // Each step's share of the frame's time, from clock readings between them (a few tens of
    // nanoseconds against a frame's hundreds of microseconds).
    Clock::duration steps[4] = {};
    const auto start = Clock::now();
    for (auto _ : state) {
        const auto t0 = Clock::now();
        BYTE* canvas = overlay.Begin();
        const auto t1 = Clock::now();
        for (const auto& scene : games)
            scene->game->ProcessTopDown(canvas, kWidth, kHeight);
        const auto t2 = Clock::now();
        overlay.FindInk();
        const auto t3 = Clock::now();
        overlay.CompositeOnto(picture.view);
        benchmark::ClobberMemory();
        const auto t4 = Clock::now();
        steps[0] += t1 - t0;
        steps[1] += t2 - t1;
        steps[2] += t3 - t2;
        steps[3] += t4 - t3;
    }
    const auto total = Clock::now() - start;
    const double frames = std::max<double>(1, double(state.iterations()));
    state.counters["x_frame_copy"] = Seconds(total) / frames / reference;
    state.counters["ink_share"] = InkShare(overlay);
    const char* names[4] = {"share_begin", "share_draw", "share_find", "share_composite"};
    for (int i = 0; i < 4; ++i)
        state.counters[names[i]] = Seconds(steps[i]) / Seconds(total);
}

std::string Percent(double share) {
    return std::to_string(int(share * 100 + 0.5)) + "pct";
}

} // namespace

int main(int argc, char** argv) {
    for (const double share : {1.0, 0.5, 0.25, 0.1})
        benchmark::RegisterBenchmark(("Composite/area_" + Percent(share)).c_str(), Composite, share)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    for (const double share : {0.0, 0.1, 1.0})
        benchmark::RegisterBenchmark(("FindInk/area_" + Percent(share)).c_str(), FindInk, share)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Overlay/question", WholeOverlay, true, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Overlay/scores", WholeOverlay, false, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Overlay/question_and_scores", WholeOverlay, true, true)
        ->Unit(benchmark::kMillisecond);
    // What a text filter is to draw for the same scene, for bench/drawtext.py.
    benchmark::AddCustomContext("overlay_question", kQuestion);
    benchmark::AddCustomContext("overlay_answer", kAnswer);
    const auto lines = ScoreLines();
    for (std::size_t r = 0; r < lines.size(); ++r)
        benchmark::AddCustomContext("overlay_score_line_" + std::to_string(r + 1), lines[r]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
