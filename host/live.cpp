#include "host/live.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "host/command_line.h"
#include <nlohmann/json.hpp>

#include "hosting/frame_io.h"
#include "hosting/live_input.h"
#include "hosting/live_output.h"
#include "hosting/overlay.h"
#include "hosting/plugin_loader.h"
#include "hosting/sound_timeline.h"
#include "hosting/test_card.h"
#include "hosting/transcript.h"
#include "hosting/yuv_convert.h"
#include "show/chat/chat_sources.h"
#include "show/endpoint.h"
#include "show/event_reader.h"
#include "show/live_game.h"
#include "show/live_presenter.h"
#include "show/ui_thread.h"

namespace host {

using namespace hosting;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kStatusPeriodOnTerminal = 250ms;
constexpr auto kStatusPeriodInLog = 1s;
constexpr auto kStopCheck = 50ms;
constexpr auto kFullQueueRetry = 10ms;
// An input that sends no picture for this long is lost.
constexpr std::chrono::seconds kInputWatchdog{5};
const std::string kWatchdogText = std::to_string(kInputWatchdog.count()) + " s";
// Silence fills the sound only this far behind the wall clock, so the input's own sound,
// which comes a little after its moment, is not given up for silence.
constexpr auto kSoundSlack = 200ms;

std::atomic<bool> stopRequested{false};

extern "C" void OnStopSignal(int) {
    stopRequested = true;
}

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void Say(const std::string& text) {
    std::fprintf(stderr, "askgame-host: %s\n", text.c_str());
}

// Sleeps until `when` or until the show is stopped; false when stopped.
bool SleepUntil(Clock::time_point when, const std::atomic<bool>& stop) {
    while (!stop) {
        const auto now = Clock::now();
        if (now >= when) return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(when - now, kStopCheck));
    }
    return false;
}

struct VideoCounters {
    std::atomic<long> late{0};
    std::atomic<bool> ended{false};       // the input ended, was lost, or every output failed
    std::atomic<bool> showingCard{false}; // the input is lost; the test card stands in
    std::string why;                      // set before `ended`
    int status = 0;                       // set before `ended`
};

// What the video thread works with.
struct VideoParts {
    show::LiveGame& live;
    LiveInput* input; // null: the test card
    LiveOutput& output;
    SoundTimeline* sound; // null: no sound
    show::LivePresenter& presenter;
};

// A picture goes on air at the first frame slot after it came: on average half a period after
// its moment. Its sound is placed as late, so the two stay together.
Clock::duration PictureDelay(double fps) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(0.5 / fps));
}

std::int64_t MillisecondsOf(long tick, double fps) {
    return std::llround(double(tick) * 1000.0 / fps);
}

// The test card of the slot `tick` in the picture, through the card's own BGRA frame.
void DrawCard(const TestCard& card, long tick, Frame& cardFrame, I420Picture& picture) {
    card.Draw(tick, cardFrame);
    BgraToI420(cardFrame.pixels.data(), picture.width, picture.height, picture.bytes.data());
}

// The picture of the slot `tick`: the input's newest, or the test card while there is none.
// False, with why and the exit status, when the input ended or was lost and the show must end.
bool TakePicture(const LiveOptions& options, LiveInput* input, const TestCard& card, long tick,
                 Frame& cardFrame, I420Picture& picture, VideoCounters& counters) {
    if (!input || options.input.empty()) {
        DrawCard(card, tick, cardFrame, picture);
        return true;
    }
    if (input->Ended()) {
        const std::string said = input->Reason();
        counters.why =
            said.starts_with("the input ended") ? said : "the input ended (" + said + ")";
        counters.status = input->Finished() ? 0 : kExitInputLost;
        return false;
    }
    const bool fresh = Clock::now() - input->LastPictureAt() < kInputWatchdog;
    if (fresh && input->Latest(picture)) {
        if (counters.showingCard.exchange(false)) Say(options.input + " is back");
        return true;
    }
    const std::string lost = "no frame from " + options.input + " for " + kWatchdogText;
    if (options.onInputLoss != "card") {
        counters.why = lost;
        counters.status = kExitInputLost;
        return false;
    }
    if (!counters.showingCard.exchange(true)) Say(lost + ": the test card shows until it is back");
    DrawCard(card, tick, cardFrame, picture);
    return true;
}

// Draws the game on the overlay's canvas and composites what it drew onto the picture.
void DrawGame(show::LiveGame& live, Overlay& overlay, I420Picture& picture) {
    BYTE* canvas = overlay.Begin();
    if (!canvas) return;
    live.DrawFrame(canvas, picture.width, -picture.height); // top-down
    overlay.FindInk();
    overlay.CompositeOnto(picture.View());
}

// The video thread: one frame per period of the wall clock, each stamped with its slot's time.
// A frame whose slot has passed entirely is not made at all (and counted late): the frame
// before it lasts longer in the outputs, so the show never runs behind and its streams keep
// the wall clock's length.
void VideoLoop(const LiveOptions& options, const VideoParts& parts, Clock::time_point start,
               Clock::time_point end, VideoCounters& counters, const std::atomic<bool>& stop) {
    // The picture stays in the encoder's format from the input to the outputs; only the game's
    // tiles are composited onto it.
    auto picture = MakeI420Picture(options.width, options.height);
    auto cardFrame = MakeFrame(options.width, options.height);
    Overlay overlay(options.width, options.height);
    const TestCard card(options.width, options.height);
    // Slot times are computed from the start, never summed, so they do not drift.
    const auto slot = [&](long tick) {
        return start + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(double(tick) / options.fps));
    };
    long tick = 0;
    // No frame starts at or after the end: the outputs end with the show to the frame.
    while (slot(tick) < end && SleepUntil(slot(tick), stop)) {
        if (!TakePicture(options, parts.input, card, tick, *cardFrame, *picture, counters)) break;
        DrawGame(parts.live, overlay, *picture);
        parts.presenter.OfferPicture(picture->View());
        parts.output.PutPicture(*picture, MillisecondsOf(tick, options.fps));
        if (parts.sound) parts.sound->FillUntil(Clock::now() - kSoundSlack);
        if (parts.output.AllFailed()) {
            counters.why = "every output failed";
            counters.status = kExitOutputFailed;
            break;
        }
        ++tick;
        const auto now = Clock::now();
        while (slot(tick + 1) <= now) { // the next slot is already over
            ++tick;
            ++counters.late;
        }
    }
    // The last frame lasts to the end of its slot: the show is on air until its end.
    if (slot(tick) >= end) SleepUntil(end, stop);
    counters.ended = true;
}

// Replays a scenario's events on the wall clock: each at its second from the start, a
// presenter's action only once the viewers' events before it have been judged, as rehearsed.
void ReplayScenario(const Scenario& scenario, show::ShowControl& control,
                    const std::atomic<bool>& stop) {
    const auto start = Clock::now();
    std::uint64_t lastViewerTicket = 0;
    for (const ScenarioEvent& event : scenario.events) {
        if (!SleepUntil(start + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(event.at)),
                        stop))
            return;
        if (event.kind == ActionKind::Still) continue; // stills are for recorded runs
        const bool viewer = event.kind == ActionKind::Chat || event.kind == ActionKind::Gift;
        if (!viewer && lastViewerTicket > 0 &&
            !control.WaitUntilJudged(lastViewerTicket, stop, Clock::time_point::max()))
            return;
        show::Delivery delivery;
        do {
            delivery =
                viewer ? control.OfferViewerEvent(event) : control.ApplyPresenterAction(event);
        } while (delivery.result == show::Delivery::Result::Full && !stop &&
                 (std::this_thread::sleep_for(kFullQueueRetry), true));
        if (viewer && delivery.Ok()) lastViewerTicket = std::max(lastViewerTicket, delivery.ticket);
        if (!delivery.Ok() && delivery.result != show::Delivery::Result::Closed)
            Say("scenario at " + std::to_string(event.at) + " s: " + delivery.reason);
    }
}

// The outputs that are not simply on, and what the ones that lag left out.
std::string OutputsLine(const LiveOutput& output) {
    std::string line;
    for (const OutputHealth& health : output.Health()) {
        std::string part;
        if (health.state != OutputHealth::State::On)
            part =
                StateName(health.state) + (health.error.empty() ? "" : " (" + health.error + ")");
        if (health.dropped > 0)
            part += (part.empty() ? "" : ", ") + std::to_string(health.dropped) + " dropped";
        if (!part.empty()) line += "  " + health.name + ": " + part;
    }
    return line;
}

std::string StatusLine(const show::LiveCounters& c, double fps, const VideoCounters& video,
                       const LiveOutput& output, const season::SeasonRecorder* season,
                       const show::chat::ChatSources& chat) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "frames %ld  fps %.1f  late %ld  queue %zu  players %zu  question %s", c.frames,
                  fps, video.late.load(), c.queued, c.players, c.question.c_str());
    std::string status = line;
    if (video.showingCard) status += "  INPUT LOST";
    status += OutputsLine(output);
    if (!chat.Empty()) status += "  chat: " + chat.Line();
    // The season file's trouble shows as it happens, not only when the show ends.
    if (!season) return status;
    const season::SinkHealth health = season->Health();
    if (health.Troubled())
        status += "  SEASON FILE: " + std::to_string(health.waiting) + " waiting, " +
                  std::to_string(health.lost) + " lost (" + health.error + ")";
    return status;
}

// The input and outputs as the state lists them; the outputs once they are open.
nlohmann::json BroadcastJson(const LiveOptions& options, const LiveInput* input,
                             const VideoCounters& video, const LiveOutput* output) {
    const bool card = options.input.empty();
    const char* state = card                ? "on"
                        : video.showingCard ? "lost"
                        : input->Ended()    ? "ended"
                        : input->Waiting()  ? "waiting"
                                            : "on";
    nlohmann::json outputs = nlohmann::json::array();
    for (const OutputHealth& health : output ? output->Health() : std::vector<OutputHealth>())
        outputs.push_back({{"output", health.name},
                           {"state", StateName(health.state)},
                           {"pictures", health.pictures},
                           {"dropped", health.dropped},
                           {"restarts", health.restarts},
                           {"why", health.error}});
    return {{"input",
             {{"source", card ? std::string("test card") : options.input},
              {"state", state},
              {"why", std::string(state) == "lost"    ? "no frame for " + kWatchdogText
                      : std::string(state) == "ended" ? input->Reason()
                                                      : std::string()}}},
            {"outputs", std::move(outputs)}};
}

// Shows the status on stderr until the show stops: rewritten in place on a terminal, a line a
// second otherwise.
void ShowStatus(const show::LiveGame& live, const VideoCounters& video, const LiveOutput& output,
                const season::SeasonRecorder* season, const show::chat::ChatSources& chat,
                const std::atomic<bool>& stop, Clock::time_point until) {
    const bool terminal = isatty(STDERR_FILENO) == 1;
    const auto period =
        terminal ? Clock::duration(kStatusPeriodOnTerminal) : Clock::duration(kStatusPeriodInLog);
    auto last = Clock::now();
    long lastFrames = 0;
    auto next = last + period;
    while (!stop && !video.ended && !stopRequested && Clock::now() < until) {
        // The show ends at `until` to the millisecond, whatever the status line's pace.
        std::this_thread::sleep_until(std::min(Clock::now() + kStopCheck, until));
        const auto now = Clock::now();
        if (now < next) continue;
        next += period;
        const show::LiveCounters counters = live.Counters();
        const double seconds = std::chrono::duration<double>(now - last).count();
        const double fps = seconds > 0 ? (counters.frames - lastFrames) / seconds : 0;
        last = now;
        lastFrames = counters.frames;
        const std::string line = StatusLine(counters, fps, video, output, season, chat);
        if (terminal)
            std::fprintf(stderr, "\r%s\033[K", line.c_str());
        else
            std::fprintf(stderr, "%s\n", line.c_str());
    }
    if (terminal) std::fprintf(stderr, "\n");
}

} // namespace

int RunLive(const LiveOptions& options) {
    if (!FfmpegAvailable()) {
        Say("ffmpeg is not installed: a live show needs it for its outputs (apt-get install "
            "ffmpeg)");
        return kExitUnavailable;
    }
    if (options.outputs.empty() && !options.preview) {
        Say("nowhere to send the show: give --output (a file, an rtmp:// or srt:// URL, a "
            "/dev/videoN loopback device) or --preview");
        return kExitUsage;
    }
    if (!KnownPreset(options.encoder.preset)) {
        Say("--preset " + options.encoder.preset + ": not an x264 preset (ultrafast to placebo)");
        return kExitUsage;
    }
    show::EndpointOptions endpointOptions;
    if (!show::ParseListenAddress(options.listen, endpointOptions.address, endpointOptions.port)) {
        Say("--listen " + options.listen + ": expected ADDRESS:PORT, e.g. 127.0.0.1:8719");
        return kExitUsage;
    }
    show::chat::ChatOptions chatOptions = show::chat::ChatOptions::FromEnvironment();
    chatOptions.values.sub = options.subValue;
    if (!options.youtubeKey.empty()) chatOptions.youtubeKey = options.youtubeKey;
    for (const std::string& source : options.chat) {
        std::string why;
        if (!show::chat::ReadableChatSource(source, why)) {
            Say("--chat " + why);
            return kExitUsage;
        }
        if (source.rfind("youtube:", 0) == 0 && chatOptions.youtubeKey.empty()) {
            Say("--chat " + source + " needs a YouTube Data API key: --youtube-key KEY, or " +
                show::chat::kYouTubeKeyVariable);
            return kExitUsage;
        }
    }
    std::optional<Scenario> scenario;
    if (!options.scenario.empty()) {
        auto parsed = LoadScenarioFile(options.scenario);
        if (!parsed.scenario) {
            Say(parsed.error);
            return StatusForUnusableFile(options.scenario);
        }
        scenario = std::move(parsed.scenario);
        if (scenario->mode != options.mode)
            Say("note: the scenario is written for the " +
                std::string(GameModeName(scenario->mode)) + "-mode game; this show runs the " +
                GameModeName(options.mode) + "-mode game");
    }

    std::string error;
    // The input starts now and is waited for once the endpoint is up; its sound goes to the
    // show's sound once that starts.
    std::atomic<SoundTimeline*> soundTimeline{nullptr};
    std::unique_ptr<LiveInput> input;
    const bool withSound = !options.noAudio;
    if (!options.input.empty() || (withSound && !options.audioDevice.empty())) {
        input = std::make_unique<LiveInput>();
        LiveInputSettings settings{
            options.input, options.loop,        options.width, options.height,
            options.fps,   options.audioDevice, withSound,     options.onInputLoss == "card"};
        const auto hear = [&soundTimeline](Clock::time_point at, std::span<const BYTE> pcm) {
            if (SoundTimeline* sound = soundTimeline.load()) sound->Add(at, pcm);
        };
        if (!input->Start(settings, hear, error)) {
            Say(error);
            return kExitNoInput;
        }
    }
    auto plugin = PluginLibrary::Open(options.pluginPath, error);
    if (!plugin) {
        Say(error);
        return kExitUnavailable;
    }

    Transcript transcript;
    transcript.Add("host", "live show: " + std::string(GameModeName(options.mode)) + " mode, " +
                               std::to_string(options.width) + "x" +
                               std::to_string(options.height));
    auto recorder = show::OpenSeasonRecorder(options.season, options.mode, error, Say);
    if (!error.empty()) {
        Say(error);
        return kExitIo;
    }
    show::UiThread ui;
    show::LiveGameOptions gameOptions;
    gameOptions.season = recorder.get();
    gameOptions.mode = options.mode;
    gameOptions.width = options.width;
    gameOptions.height = options.height;
    gameOptions.fps = options.fps;
    gameOptions.lcid = options.lcid;
    gameOptions.round = options.round;
    if (recorder) gameOptions.ignored = recorder->IgnoredAtStart();
    gameOptions.traces = TraceSinkFor(options.verbose);
    auto live = show::LiveGame::Create(*plugin, ui, transcript, gameOptions, error);
    if (!live) {
        Say(error);
        return kExitSoftware;
    }

    // The channels' chat joins the endpoint's; their viewers' ids are kept with the season.
    show::chat::ChatSources chat(
        *live, options.season.off ? std::string() : show::SeasonPath(options.season), chatOptions);
    for (const std::string& source : options.chat)
        chat.Add(source, error); // each read above
    live->ReportChatSources([&chat] { return chat.Json(); });
    // The outputs open once the input is there; the state lists them from then on.
    VideoCounters video;
    LiveOutput output;
    std::atomic<const LiveOutput*> openOutput{nullptr};
    live->ReportBroadcast(
        [&] { return BroadcastJson(options, input.get(), video, openOutput.load()); });

    endpointOptions.token = options.token.empty() ? show::NewToken() : options.token;
    endpointOptions.banks = options.banks;
    show::Endpoint endpoint(*live, endpointOptions);
    // The presenter's page: the panel read on the UI thread, its boxes and bank chooser in the
    // page, the drawn frames as its preview.
    auto presenter = std::make_unique<show::LivePresenter>(
        ui,
        [&live](const std::function<void(DuiLib::CControlUI*)>& task) {
            live->WithGame([&](HostedGame& game) { task(game.Panel()); });
        },
        [&live] { return live->State(); },
        show::LivePresenterOptions{
            options.banks, static_cast<unsigned>(options.lcid), false,
            [&live](const std::function<void()>& wait) { live->ReleasedWhileWaiting(wait); }});
    live->SetMessageBoxHandler(
        [&presenter](const MessageBoxRequest& box) { return presenter->ShowBox(box); });
    presenter->AddRoutes(endpoint.Server());
    show::AddSeasonRoute(endpoint.Server(), options.season);
    const auto closePresenter = [&] {
        presenter->Close();
        live->SetMessageBoxHandler({});
    };
    if (!endpoint.Start(error)) {
        Say(error);
        closePresenter();
        presenter.reset();
        live->Finish();
        return kExitUnavailable;
    }
    if (!show::IsLoopbackAddress(endpointOptions.address))
        Say("warning: listening on " + endpointOptions.address +
            ", which other machines can reach; anyone with the token can drive the show");
    std::printf("askgame-host live: %s mode, %dx%d at %g fps\n", GameModeName(options.mode),
                options.width, options.height, options.fps);
    std::printf("endpoint: %s\ntoken: %s\n", endpoint.Url().c_str(), endpoint.Token().c_str());
    std::printf("Ctrl-C ends the show.\n");
    std::fflush(stdout);

    stopRequested = false;
    InstallStopSignals();
    // --duration is the time on air; waiting for the input (at most 5 s) comes before it.
    const auto duration = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(options.duration));
    const auto until = options.duration > 0 ? Clock::now() + duration : Clock::time_point::max();
    const auto abandon = [&](int status) {
        closePresenter();
        endpoint.Stop();
        presenter.reset();
        if (input) input->Stop();
        live->Finish();
        return status;
    };
    if (input && !options.input.empty() &&
        !input->WaitForFirstPicture(std::min<Clock::duration>(kInputWatchdog, until - Clock::now()),
                                    stopRequested)) {
        if (stopRequested || Clock::now() >= until) return abandon(0);
        const std::string why =
            input->Ended() ? options.input + ": not a readable video (" + input->Reason() + ")"
                           : "no frame from " + options.input + " for " + kWatchdogText;
        if (options.onInputLoss != "card") {
            Say(why);
            return abandon(kExitInputLost);
        }
        Say(why + ": the test card shows until it comes");
    }
    MediaLayout layout{options.width, options.height, options.fps, 0, kAudioChannels, {}};
    if (withSound && input && (input->HasSound() || !options.audioDevice.empty()))
        layout.audioRate = kAudioRate;
    if (!output.Open(options.outputs, options.preview, layout, options.encoder, error)) {
        Say(error);
        return abandon(kExitIo);
    }
    openOutput = &output;
    const auto showStart = Clock::now();
    const auto showEnd = options.duration > 0 ? showStart + duration : Clock::time_point::max();
    std::unique_ptr<SoundTimeline> sound;
    if (layout.audioRate > 0) {
        sound = std::make_unique<SoundTimeline>(
            showStart, layout.audioRate, layout.audioChannels, PictureDelay(options.fps),
            [&output](std::int64_t ms, std::span<const BYTE> pcm) { output.PutSound(ms, pcm); });
        sound->EndAt(showEnd);
        soundTimeline = sound.get();
    }

    chat.Start();
    std::unique_ptr<show::EventReader> reader;
    if (!options.events.empty()) {
        reader = show::EventReader::Open(
            options.events, *live, [](const std::string& line) { Say(line); }, error);
        if (!reader) Say(error + "; going on without it");
        if (reader) reader->Start();
    }

    std::atomic<bool> stop{false};
    const VideoParts parts{*live, input.get(), output, sound.get(), *presenter};
    std::thread videoThread([&] { VideoLoop(options, parts, showStart, showEnd, video, stop); });
    std::thread replay;
    if (scenario) replay = std::thread([&] { ReplayScenario(*scenario, *live, stop); });

    ShowStatus(*live, video, output, recorder.get(), chat, stop, showEnd);

    // The show ends: frames stop first, then the input, then the outputs are finished, then
    // the ways in close, then the game checks every message back in.
    const double onAir = std::chrono::duration<double>(Clock::now() - showStart).count();
    stop = true;
    videoThread.join();
    if (!video.why.empty()) Say(video.why);
    if (input) input->Stop();
    soundTimeline = nullptr;
    const bool outputOk = output.Close(error);
    if (!outputOk) Say("outputs: " + error);
    for (const OutputHealth& health : output.Health())
        if (health.dropped > 0)
            Say(health.name + ": " + std::to_string(health.dropped) + " of " +
                std::to_string(health.pictures + health.dropped) +
                " pictures left out while its encoder lagged");
    if (replay.joinable()) replay.join();
    if (reader) reader->Stop();
    chat.Stop();
    closePresenter();
    endpoint.Stop();
    presenter.reset();
    const show::LiveCounters counters = live->Counters();
    live->Finish();
    ui.Stop();
    const bool seasonKept = show::FinishSeasonRecording(recorder.get(), options.season, Say);

    transcript.Add("host", "the show ended after " + std::to_string(counters.frames) + " frames; " +
                               std::to_string(video.late.load()) + " late");
    const bool written = transcript.WriteTo(options.transcript);
    const long made = counters.frames;
    const long late = video.late;
    std::fprintf(stderr,
                 "askgame-host: %ld frames, %ld late (%.2f %%) in %.3f s on air; transcript %s\n",
                 made, late, made + late > 0 ? 100.0 * late / double(made + late) : 0.0, onAir,
                 written ? options.transcript.c_str() : "NOT written");
    if (transcript.HostErrorCount() > 0) {
        Say("the plug-in broke the host's rules " + std::to_string(transcript.HostErrorCount()) +
            " time(s); see " + options.transcript);
        return kExitSoftware;
    }
    if (video.status != 0) return video.status;
    if (!outputOk) return kExitOutputFailed;
    return written && seasonKept ? 0 : kExitIo;
}

} // namespace host
