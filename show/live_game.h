// One game run live: the effect drawn on a video thread, its panel worked on the user-interface
// thread, viewers' events queued from any thread and handed to the effect only through the
// host's audience source. Every live host (the `live` command, the frame-filter adapter, the OBS
// source) runs its game through this.
//
// Threads: DrawFrame() on the video thread; panel actions, the panel's notifications and message
// boxes on the UiThread; OfferViewerEvent() and State() from anywhere. The host-side state the
// threads share (audience source, transcript, scores) is guarded by one host lock; the plug-in
// calls the host with none of its own locks held, so the two never wait on each other.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "hosting/hosted_game.h"
#include "hosting/plugin_loader.h"
#include "hosting/transcript.h"
#include "platform/shell.h"
#include "show/event_queue.h"
#include "show/round.h"
#include "show/round_overlay.h"
#include "show/show_control.h"
#include "show/show_state.h"
#include "show/ui_thread.h"

namespace show {

// Viewers' events waiting to reach the game, at most.
inline constexpr std::size_t kDefaultViewerQueue = 10000;
// Messages waiting inside the audience source (the game takes them only at certain moments), at
// most; beyond it, events stay in the viewers' queue, and when that is full too they are refused.
inline constexpr std::size_t kDefaultAudienceBacklog = 2000;

struct LiveGameOptions {
    hosting::GameMode mode = hosting::GameMode::Free;
    int width = 1280;
    int height = 720;
    double fps = 30;
    LCID lcid = 1033;
    std::size_t viewerQueue = kDefaultViewerQueue;
    std::size_t audienceBacklog = kDefaultAudienceBacklog;
    season::SeasonEventSink* season = nullptr; // where right answers and gifts are kept, if any
    // How questions are played live: answers matched leniently; a question given a clock holds
    // the free game's reveal until it closes.
    RoundOptions round{MatchRule::Lenient, 0, true};
    std::vector<season::IgnoredViewer> ignored; // the season's ignored viewers, from the start
    hosting::HostedGame::TraceSink traces;      // the plug-in's debug traces; empty: nowhere
};

// What the status line shows.
struct LiveCounters {
    long frames = 0;
    std::size_t queued = 0;          // viewers' events waiting in the queue
    std::size_t audienceWaiting = 0; // messages waiting in the audience source
    std::uint64_t accepted = 0;
    std::uint64_t refused = 0; // refused because the queue was full
    std::size_t players = 0;   // viewers who sent gifts (challenge) or scored (free)
    std::string question;      // "3/10", the panel's question number and count
};

class LiveGame final : public ShowControl {
public:
    // Makes the game on `ui`. Null, with the reason in `error`, when the plug-in cannot.
    static std::unique_ptr<LiveGame> Create(hosting::PluginLibrary& plugin, UiThread& ui,
                                            hosting::Transcript& transcript,
                                            const LiveGameOptions& options, std::string& error);
    LiveGame(const LiveGame&) = delete;
    LiveGame& operator=(const LiveGame&) = delete;
    // Finish().
    ~LiveGame() override;

    // ---- Video thread
    // Hands waiting viewers' events to the audience source, then lets the effect draw on the
    // frame: width × |height| BGRA pixels, top-down when `height` is negative.
    bool DrawFrame(BYTE* pixels, int width, int height);

    // ---- Any thread
    // An accepted event carries a ticket for WaitUntilJudged.
    Delivery OfferViewerEvent(hosting::ScenarioEvent event) override;
    // Also takes notes (a transcript line); stills are the caller's.
    Delivery ApplyPresenterAction(const hosting::ScenarioEvent& event) override;
    // A viewer's event is judged once a drawn frame has had it: the effect took it, or left it
    // with the host as it reads no viewers at that moment (between questions, say), to be read
    // whenever it next does, as its rules have it.
    bool WaitUntilJudged(std::uint64_t ticket, const std::atomic<bool>& stop,
                         std::chrono::steady_clock::time_point until) override;
    nlohmann::json State(std::size_t top = kStateTop) override;
    Delivery ApplyRoundAction(const RoundAction& action) override;
    Delivery Moderate(const Moderation& moderation) override;
    LiveCounters Counters() const;

    // Answers message boxes from now on; runs on the UI thread with the host lock released, so
    // frames go on while it waits for someone to press OK. Without one, boxes are answered OK
    // at once. Either way the box is in the transcript and in State().
    void SetMessageBoxHandler(MessageBoxPresenter handler);
    // Runs `task` with the host lock released when called on the UI thread from inside the
    // game (as message boxes are shown), else just runs it: for a dialog a piece shows and
    // waits on, so frames go on meanwhile.
    void ReleasedWhileWaiting(const std::function<void()>& task);
    // Runs `task` on the UI thread with the game, under the host lock: for pieces that read or
    // work the panel themselves. False when the game is finished.
    bool WithGame(const std::function<void(hosting::HostedGame&)>& task);

    // The state lists the chat sources `statuses` answers (a JSON array). Call before the state
    // is read from other threads.
    void ReportChatSources(std::function<nlohmann::json()> statuses) {
        chatStatuses_ = std::move(statuses);
    }
    // The state lists the input and outputs `broadcast` answers ({"input": …, "outputs": […]}),
    // for a host that sends the show on itself. Call before the state is read elsewhere.
    void ReportBroadcast(std::function<nlohmann::json()> broadcast) {
        broadcast_ = std::move(broadcast);
    }

    // Ends the game on the UI thread: the scores go into the transcript, panel and effect go
    // and every message is checked back in. Call once the video thread stopped. Idempotent.
    void Finish();

private:
    class GuardedAudience;
    class GuardedTraces;
    class HostLock {
    public:
        void lock();
        void unlock();
        // Lets go of every level this thread holds while `task` runs, then takes them back.
        void ReleasedWhile(const std::function<void()>& task);

    private:
        std::recursive_mutex mutex_;
        int depth_ = 0; // levels held by the owning thread
    };
    LiveGame(UiThread& ui, hosting::Transcript& transcript, const LiveGameOptions& options);
    void InstallGuards();
    void RemoveGuards();
    void TakeViewerEvents();
    // After a frame: viewers' events are judged up to `handedOn` when the effect took every
    // message the audience source held, else up to `offered` (see WaitUntilJudged).
    void MarkJudged(std::uint64_t handedOn, std::uint64_t offered);
    void OnSignal();
    int OnMessageBox(const MessageBoxRequest& box);
    // Rereads the panel's fields into the snapshot. UI thread, host lock held.
    void RefreshSnapshot();
    // Seconds since the game was made: the rounds' clock.
    double Now() const;
    // A viewer's chat on its way to the audience source, through moderation and the round.
    // Host lock held.
    void HandOnChat(const hosting::ScenarioEvent& event);
    // A challenge player answered right: the picture says so for a moment. Host lock held.
    void ShowMoment();

    UiThread& ui_;
    hosting::Transcript& transcript_;
    const LiveGameOptions options_;
    std::unique_ptr<hosting::HostedGame> game_;
    std::unique_ptr<GuardedAudience> audience_;
    std::unique_ptr<GuardedTraces> traces_;
    IDebugOutputSink* gameTraces_ = nullptr;
    MessageBoxPresenter gameBoxes_;
    MessageBoxPresenter boxHandler_; // UI thread only
    std::function<nlohmann::json()> chatStatuses_;
    std::function<nlohmann::json()> broadcast_;
    mutable HostLock hostLock_;

    BoundedQueue<hosting::ScenarioEvent> viewers_;
    std::vector<hosting::ScenarioEvent> batch_; // video thread only; kept to reuse its storage
    std::mutex judgedLock_;
    std::condition_variable judgedChanged_;
    std::uint64_t judged_ = 0; // tickets up to this one are judged; guarded by judgedLock_
    std::atomic<long> frames_{0};
    std::atomic<std::size_t> audienceWaiting_{0};
    std::atomic<bool> finished_{false};

    // Guarded by the host lock, like the game's own host-side state.
    PanelReading snapshot_;
    std::string lastBoxCaption_, lastBoxText_;
    int boxes_ = 0;
    GiftTally players_; // challenge mode: who sent gifts
    Round round_;
    RoundOverlay overlay_;  // video thread only
    std::u16string moment_; // a challenge player's right answer, shown until momentUntil_
    double momentUntil_ = 0;
    struct Ignored {
        std::string name; // as last seen
        bool season;      // kept with the season
    };
    std::map<std::uint32_t, Ignored> ignored_;
    const std::chrono::steady_clock::time_point epoch_ = std::chrono::steady_clock::now();
};

} // namespace show
