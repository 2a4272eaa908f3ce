#include "show/live_game.h"

#include <algorithm>

#include "hosting/player.h"
#include "hosting/scores.h"
#include "platform/debug.h"
#include "platform/utf.h"
#include "show/live_events.h"
#include "show/show_state.h"

namespace show {

namespace {

using hosting::ActionKind;
using hosting::GameMode;
using nlohmann::json;

// Viewers' events handed to the audience source before one frame, at most: a burst waits a
// frame or two rather than stalling one.
constexpr std::size_t kMaxTakenPerFrame = 4096;
// How often one waiting for viewers' events to be judged looks at its stop flag.
constexpr auto kJudgedPoll = std::chrono::milliseconds(50);

} // namespace

// The effect's view of the audience: the game's own source, reached only under the host lock.
class LiveGame::GuardedAudience final : public IAudienceSource {
public:
    GuardedAudience(LiveGame& live, hosting::HostAudienceSource& inner)
        : live_(live), inner_(inner) {}

    std::shared_ptr<AudienceMessageList> GetPendingMessages() override {
        std::lock_guard lock(live_.hostLock_);
        auto list = inner_.GetPendingMessages();
        live_.audienceWaiting_ = inner_.Waiting();
        return list;
    }
    AudienceMessage* PopMessage() override {
        std::lock_guard lock(live_.hostLock_);
        AudienceMessage* message = inner_.PopMessage();
        live_.audienceWaiting_ = inner_.Waiting();
        return message;
    }
    void ReleaseMessage(AudienceMessage* message) override {
        std::lock_guard lock(live_.hostLock_);
        inner_.ReleaseMessage(message);
    }
    void NotifyStateChanged() override {
        std::lock_guard lock(live_.hostLock_);
        inner_.NotifyStateChanged();
    }
    void Start() override {
        std::lock_guard lock(live_.hostLock_);
        inner_.Start();
    }
    void Stop() override {
        std::lock_guard lock(live_.hostLock_);
        inner_.Stop();
    }
    void Signal(int a, int b) override {
        {
            std::lock_guard lock(live_.hostLock_);
            inner_.Signal(a, b);
        }
        // A real host posts the signal to its window: the panel hears of it on its own thread.
        live_.OnSignal();
    }

private:
    LiveGame& live_;
    hosting::HostAudienceSource& inner_;
};

// The plug-in's traces, which may come from either thread, reach the transcript under the lock.
class LiveGame::GuardedTraces final : public IDebugOutputSink {
public:
    GuardedTraces(HostLock& lock, IDebugOutputSink* inner) : lock_(lock), inner_(inner) {}
    void WriteAnsi(std::string_view bytes) override {
        std::lock_guard lock(lock_);
        if (inner_) inner_->WriteAnsi(bytes);
    }
    void WriteWide(std::u16string_view text) override {
        std::lock_guard lock(lock_);
        if (inner_) inner_->WriteWide(text);
    }

private:
    HostLock& lock_;
    IDebugOutputSink* inner_;
};

void LiveGame::HostLock::lock() {
    mutex_.lock();
    ++depth_;
}

void LiveGame::HostLock::unlock() {
    --depth_;
    mutex_.unlock();
}

void LiveGame::HostLock::ReleasedWhile(const std::function<void()>& task) {
    const int held = depth_;
    for (int i = 0; i < held; ++i)
        unlock();
    try {
        task();
    } catch (...) {
        for (int i = 0; i < held; ++i)
            lock();
        throw;
    }
    for (int i = 0; i < held; ++i)
        lock();
}

namespace {

// The rounds' rules for a game: the challenge game takes choices 1 to 4 and shows each right
// answer as it comes, so it holds back nothing.
RoundOptions RoundOptionsFor(const LiveGameOptions& options) {
    RoundOptions round = options.round;
    if (options.mode == GameMode::Challenge) {
        round.choiceDigits = 4;
        round.holdReveal = false;
    }
    return round;
}

} // namespace

LiveGame::LiveGame(UiThread& ui, hosting::Transcript& transcript, const LiveGameOptions& options)
    : ui_(ui), transcript_(transcript), options_(options), viewers_(options.viewerQueue),
      round_(RoundOptionsFor(options)) {
    for (const season::IgnoredViewer& viewer : options.ignored)
        ignored_[viewer.viewer] = {viewer.name, true};
}

double LiveGame::Now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - epoch_).count();
}

std::unique_ptr<LiveGame> LiveGame::Create(hosting::PluginLibrary& plugin, UiThread& ui,
                                           hosting::Transcript& transcript,
                                           const LiveGameOptions& options, std::string& error) {
    std::unique_ptr<LiveGame> live(new LiveGame(ui, transcript, options));
    LiveGame& l = *live;
    const bool ran = ui.Call([&] {
        std::lock_guard lock(l.hostLock_);
        l.game_ = hosting::HostedGame::Create(plugin, options.mode, options.width, options.height,
                                              options.lcid, transcript, error, options.traces);
        if (!l.game_) return;
        l.game_->RecordSeasonInto(options.season);
        // Frames, viewers and the endpoint go on while the panel reads a bank.
        l.game_->RunLongPanelWorkThrough(
            [&l](const std::function<void()>& task) { l.hostLock_.ReleasedWhile(task); });
        l.InstallGuards();
        l.RefreshSnapshot();
    });
    if (!ran) error = "the user-interface thread has stopped";
    if (!ran || !live->game_) {
        live->finished_ = true;
        return nullptr;
    }
    return live;
}

LiveGame::~LiveGame() {
    Finish();
}

void LiveGame::InstallGuards() {
    audience_ = std::make_unique<GuardedAudience>(*this, game_->Audience());
    game_->RouteAudienceThrough(*audience_);
    gameTraces_ = SetDebugOutputSink(nullptr);
    traces_ = std::make_unique<GuardedTraces>(hostLock_, gameTraces_);
    SetDebugOutputSink(traces_.get());
    gameBoxes_ =
        SetMessageBoxPresenter([this](const MessageBoxRequest& box) { return OnMessageBox(box); });
}

void LiveGame::RemoveGuards() {
    SetMessageBoxPresenter(std::move(gameBoxes_));
    SetDebugOutputSink(gameTraces_);
}

void LiveGame::Finish() {
    if (finished_.exchange(true)) return;
    {
        std::lock_guard lock(judgedLock_);
        judgedChanged_.notify_all();
    }
    ui_.Call([this] {
        std::lock_guard lock(hostLock_);
        RemoveGuards();
        game_->Finish();
        hosting::WriteScoreSummary(*game_, transcript_);
    });
}

bool LiveGame::DrawFrame(BYTE* pixels, int width, int height) {
    if (finished_) return false;
    std::uint64_t offered = 0;
    std::uint64_t handedOn = 0;
    ClockView clock;
    std::u16string moment;
    {
        std::lock_guard lock(hostLock_);
        transcript_.SetClock(frames_, options_.fps);
        offered = viewers_.Accepted();
        TakeViewerEvents();
        handedOn = viewers_.Taken();
        const double now = Now();
        if (const auto left = round_.Left(now))
            clock = {true, *left, round_.Seconds().value_or(0), round_.Open(now)};
        if (now < momentUntil_) moment = moment_;
    }
    const bool drawn = game_->DrawFrame(pixels, width, height);
    if (drawn) overlay_.Draw(pixels, width, height, clock, moment);
    ++frames_;
    MarkJudged(handedOn, offered);
    return drawn;
}

void LiveGame::MarkJudged(std::uint64_t handedOn, std::uint64_t offered) {
    bool leftWithHost = false;
    {
        std::lock_guard lock(hostLock_);
        leftWithHost = game_->Audience().Waiting() > 0;
    }
    std::lock_guard lock(judgedLock_);
    judged_ = std::max(judged_, leftWithHost ? offered : handedOn);
    judgedChanged_.notify_all();
}

bool LiveGame::WaitUntilJudged(std::uint64_t ticket, const std::atomic<bool>& stop,
                               std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(judgedLock_);
    while (judged_ < ticket) {
        const auto now = std::chrono::steady_clock::now();
        if (stop || finished_ || now >= until) return false;
        judgedChanged_.wait_until(lock, std::min(now + kJudgedPoll, until));
    }
    return true;
}

// Host lock held.
void LiveGame::TakeViewerEvents() {
    hosting::HostAudienceSource& audience = game_->Audience();
    const std::size_t waiting = audience.Waiting();
    if (waiting < options_.audienceBacklog) {
        batch_.clear();
        viewers_.DrainInto(batch_, std::min(kMaxTakenPerFrame, options_.audienceBacklog - waiting));
        for (const hosting::ScenarioEvent& event : batch_) {
            if (ignored_.contains(event.viewer.id)) continue;
            if (event.kind == ActionKind::Gift) {
                audience.QueueGift(event.viewer.id, event.viewer.name, event.giftCount,
                                   event.giftValue);
                players_.Add(event);
            } else {
                HandOnChat(event);
            }
        }
    }
    // A held reveal comes due: the right answers kept meanwhile reach the game, in their order.
    for (const RoundAnswer& kept : round_.DueAnswers(Now()))
        audience.QueueChat(kept.viewer, kept.name, kept.text, kept.chatKind);
    audienceWaiting_ = audience.Waiting();
}

void LiveGame::HandOnChat(const hosting::ScenarioEvent& event) {
    const RoundAnswer answer{event.viewer.id, event.viewer.name, event.text, event.chatKind};
    if (const auto text = round_.Take(answer, event.at))
        game_->Audience().QueueChat(event.viewer.id, event.viewer.name, *text, event.chatKind);
}

Delivery LiveGame::OfferViewerEvent(hosting::ScenarioEvent event) {
    if (finished_) return {Delivery::Result::Closed, "the show is ending"};
    event.at = Now(); // the moment it came, which the round's clock judges it by
    Delivery accepted;
    if (!viewers_.TryPush(std::move(event), &accepted.ticket))
        return {Delivery::Result::Full, "the viewers' queue is full (" +
                                            std::to_string(viewers_.Capacity()) +
                                            " waiting); try again in a moment"};
    return accepted;
}

Delivery LiveGame::ApplyPresenterAction(const hosting::ScenarioEvent& event) {
    if (SourceOf(event) == EventSource::Viewer) return OfferViewerEvent(event);
    std::optional<Delivery> done = ui_.Invoke([&]() -> Delivery {
        std::lock_guard lock(hostLock_);
        if (finished_) return {Delivery::Result::Closed, "the show is ending"};
        if (event.kind == ActionKind::Note) {
            transcript_.Add("note", event.path);
            return {};
        }
        if (event.kind == ActionKind::Still) return {};
        std::string error;
        const bool push = event.kind == ActionKind::Click && game_->IsQuestionPush(event.control);
        const std::u16string answer = push ? game_->AnswerField() : std::u16string();
        const bool applied = game_->Apply(event, error);
        if (applied && push) round_.Begin(answer, Now());
        RefreshSnapshot();
        if (!applied) return {Delivery::Result::Refused, error};
        return {};
    });
    return done.value_or(Delivery{Delivery::Result::Closed, "the show is ending"});
}

void LiveGame::ShowMoment() {
    // The panel names the player as "name(id)": the picture shows the name.
    const auto player = hosting::ParseSenderLabel(snapshot_.rightAnswerer);
    moment_ = Utf8ToUtf16((player ? player->name : snapshot_.rightAnswerer) + "  +1");
    momentUntil_ = Now() + kMomentSeconds;
}

Delivery LiveGame::ApplyRoundAction(const RoundAction& action) {
    std::lock_guard lock(hostLock_);
    if (finished_) return {Delivery::Result::Closed, "the show is ending"};
    const double now = Now();
    std::string error;
    bool done = false;
    switch (action.kind) {
    case RoundAction::Kind::Seconds:
        done = round_.GiveSeconds(action.seconds, now, error);
        break;
    case RoundAction::Kind::Add:
        done = round_.AddSeconds(action.seconds, now, error);
        break;
    case RoundAction::Kind::Close:
        done = round_.Close(now, error);
        break;
    case RoundAction::Kind::Reveal:
        done = round_.Reveal(now, error);
        break;
    }
    if (!done) return {Delivery::Result::Refused, error};
    return {};
}

Delivery LiveGame::Moderate(const Moderation& moderation) {
    std::lock_guard lock(hostLock_);
    if (finished_) return {Delivery::Result::Closed, "the show is ending"};
    if (moderation.season && !options_.season)
        return {Delivery::Result::Refused, "this show keeps no season"};
    const std::string who = "viewer " + std::to_string(moderation.viewer);
    const auto record = [&](season::SeasonEvent::Kind kind, const std::string& name) {
        season::SeasonEvent event;
        event.kind = kind;
        event.atMs = season::NowMs();
        event.viewer = moderation.viewer;
        event.name = name;
        options_.season->Record(std::move(event));
    };
    const auto found = ignored_.find(moderation.viewer);
    if (moderation.ignore) {
        Ignored& entry = ignored_[moderation.viewer];
        const std::string seen = round_.NameOf(moderation.viewer);
        if (!seen.empty()) entry.name = seen;
        entry.season = entry.season || moderation.season;
        if (moderation.season) record(season::SeasonEvent::Kind::Ignore, entry.name);
        transcript_.Add("moderation",
                        who + " is ignored" + (moderation.season ? " for the season" : ""));
    } else if (found != ignored_.end()) {
        if (found->second.season) record(season::SeasonEvent::Kind::Unignore, found->second.name);
        ignored_.erase(found);
        transcript_.Add("moderation", who + " is heard again");
    }
    return {};
}

void LiveGame::OnSignal() {
    ui_.Post([this] {
        std::lock_guard lock(hostLock_);
        if (finished_) return;
        const std::uint64_t points = game_->Scores().Version();
        game_->DeliverSignals();
        RefreshSnapshot();
        if (game_->Scores().Version() != points) ShowMoment();
    });
}

int LiveGame::OnMessageBox(const MessageBoxRequest& box) {
    std::lock_guard lock(hostLock_);
    lastBoxCaption_ = Utf16ToUtf8(box.caption);
    lastBoxText_ = Utf16ToUtf8(box.text);
    ++boxes_;
    // The game's own presenter writes the box into the transcript and answers OK.
    int answer = gameBoxes_ ? gameBoxes_(box) : IDOK;
    if (boxHandler_ && ui_.OnThisThread())
        hostLock_.ReleasedWhile([&] { answer = boxHandler_(box); });
    return answer;
}

void LiveGame::ReleasedWhileWaiting(const std::function<void()>& task) {
    if (ui_.OnThisThread())
        hostLock_.ReleasedWhile(task);
    else
        task();
}

void LiveGame::SetMessageBoxHandler(MessageBoxPresenter handler) {
    ui_.Call([&] { boxHandler_ = std::move(handler); });
}

bool LiveGame::WithGame(const std::function<void(hosting::HostedGame&)>& task) {
    bool ran = false;
    ui_.Call([&] {
        std::lock_guard lock(hostLock_);
        if (finished_) return;
        task(*game_);
        RefreshSnapshot();
        ran = true;
    });
    return ran;
}

void LiveGame::RefreshSnapshot() {
    snapshot_ = ReadPanel(*game_);
}

LiveCounters LiveGame::Counters() const {
    LiveCounters counters;
    counters.frames = frames_;
    counters.queued = viewers_.Size();
    counters.accepted = viewers_.Accepted();
    counters.refused = viewers_.Refused();
    counters.audienceWaiting = audienceWaiting_;
    std::lock_guard lock(hostLock_);
    counters.players =
        options_.mode == GameMode::Challenge ? players_.Size() : game_->Scores().Count();
    counters.question = snapshot_.number < 0 ? std::string("-")
                                             : std::to_string(snapshot_.number) + "/" +
                                                   std::to_string(std::max(0, snapshot_.count));
    return counters;
}

json LiveGame::State(std::size_t top) {
    StateParts parts;
    parts.mode = options_.mode;
    parts.frames = frames_.load();
    parts.queue = {viewers_.Size(), viewers_.Capacity(), viewers_.Accepted(), viewers_.Refused(),
                   audienceWaiting_.load()};
    if (chatStatuses_) parts.chat = chatStatuses_();
    if (broadcast_) parts.broadcast = broadcast_();
    std::lock_guard lock(hostLock_);
    parts.panel = snapshot_;
    top = std::min(top, kMaxStateTop);
    if (game_) {
        parts.ranking = game_->Scores().Top(top);
        parts.scorers = game_->Scores().Count();
        parts.seasonFile = game_->SeasonHealth();
    }
    parts.players = &players_;
    parts.round = round_.State(Now());
    parts.feed = round_.Feed();
    for (const auto& [id, viewer] : ignored_)
        parts.ignored.push_back({{"id", id}, {"name", viewer.name}, {"season", viewer.season}});
    parts.top = top;
    parts.messageBoxes = boxes_;
    if (boxes_ > 0) parts.lastMessageBox = hosting::MessageBoxSeen{lastBoxCaption_, lastBoxText_};
    return StateDocument(std::move(parts));
}

} // namespace show
