#include "show/live_game.h"

#include <algorithm>

#include "host/player.h"
#include "platform/debug.h"
#include "platform/utf.h"
#include "show/live_events.h"

namespace show {

namespace {

using host::ActionKind;
using host::GameMode;
using nlohmann::json;

// Viewers' events handed to the audience source before one frame, at most: a burst waits a
// frame or two rather than stalling one.
constexpr std::size_t kMaxTakenPerFrame = 4096;

struct PanelFields {
    const char16_t* question;
    const char16_t* answer;
};

PanelFields FieldsFor(GameMode mode) {
    if (mode == GameMode::Free) return {u"Question", u"RightAnswer"};
    return {u"ChallengeQue", u"ChallengeAnswer"};
}

constexpr const char16_t* kNumberField = u"EditNum";
constexpr const char16_t* kCountField = u"LabMaxNum";
constexpr const char16_t* kRightAnswererField = u"RightAnswerer";

std::string Utf8Or(const std::optional<std::u16string>& text) {
    return text ? Utf16ToUtf8(*text) : std::string();
}

// A number the panel shows padded (" 1", "06"), or -1 when it shows none.
int ShownNumber(const std::optional<std::u16string>& text) {
    if (!text) return -1;
    const std::string digits = Utf16ToUtf8(*text);
    int value = 0;
    bool any = false;
    for (const char c : digits) {
        if (c == ' ') continue;
        if (c < '0' || c > '9' || value > 100000) return -1;
        value = value * 10 + (c - '0');
        any = true;
    }
    return any ? value : -1;
}

json NumberOrNull(int value) {
    return value < 0 ? json(nullptr) : json(value);
}

} // namespace

// The effect's view of the audience: the game's own source, reached only under the host lock.
class LiveGame::GuardedAudience final : public IAudienceSource {
public:
    GuardedAudience(LiveGame& live, host::HostAudienceSource& inner) : live_(live), inner_(inner) {}

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
    host::HostAudienceSource& inner_;
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

LiveGame::LiveGame(UiThread& ui, host::Transcript& transcript, const LiveGameOptions& options)
    : ui_(ui), transcript_(transcript), options_(options), viewers_(options.viewerQueue) {}

std::unique_ptr<LiveGame> LiveGame::Create(host::PluginLibrary& plugin, UiThread& ui,
                                           host::Transcript& transcript,
                                           const LiveGameOptions& options, std::string& error) {
    std::unique_ptr<LiveGame> live(new LiveGame(ui, transcript, options));
    LiveGame& l = *live;
    const bool ran = ui.Call([&] {
        std::lock_guard lock(l.hostLock_);
        l.game_ = host::HostedGame::Create(plugin, options.mode, options.width, options.height,
                                           options.lcid, transcript, error);
        if (!l.game_) return;
        l.game_->RecordSeasonInto(options.season);
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
    ui_.Call([this] {
        std::lock_guard lock(hostLock_);
        RemoveGuards();
        game_->Finish();
        host::WriteScoreSummary(*game_, transcript_);
    });
}

bool LiveGame::DrawFrame(BYTE* pixels, int width, int height) {
    if (finished_) return false;
    {
        std::lock_guard lock(hostLock_);
        transcript_.SetClock(frames_, options_.fps);
        TakeViewerEvents();
    }
    const bool drawn = game_->DrawFrame(pixels, width, height);
    ++frames_;
    return drawn;
}

// Host lock held.
void LiveGame::TakeViewerEvents() {
    host::HostAudienceSource& audience = game_->Audience();
    const std::size_t waiting = audience.Waiting();
    if (waiting < options_.audienceBacklog) {
        batch_.clear();
        viewers_.DrainInto(batch_, std::min(kMaxTakenPerFrame, options_.audienceBacklog - waiting));
        for (const host::ScenarioEvent& event : batch_) {
            if (event.kind == ActionKind::Gift) {
                audience.QueueGift(event.viewer.id, event.viewer.name, event.giftCount,
                                   event.giftValue);
                Player& player = players_[event.viewer.id];
                player.name = Utf16ToUtf8(event.viewer.name);
                player.gifts += event.giftCount;
                player.value += std::uint64_t(event.giftCount) * event.giftValue;
            } else {
                audience.QueueChat(event.viewer.id, event.viewer.name, event.text, event.chatKind);
            }
        }
    }
    audienceWaiting_ = audience.Waiting();
}

Delivery LiveGame::OfferViewerEvent(host::ScenarioEvent event) {
    if (finished_) return {Delivery::Result::Closed, "the show is ending"};
    if (!viewers_.TryPush(std::move(event)))
        return {Delivery::Result::Full, "the viewers' queue is full (" +
                                            std::to_string(viewers_.Capacity()) +
                                            " waiting); try again in a moment"};
    return {};
}

Delivery LiveGame::ApplyPresenterAction(const host::ScenarioEvent& event) {
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
        const bool applied = game_->Apply(event, error);
        RefreshSnapshot();
        if (!applied) return {Delivery::Result::Refused, error};
        return {};
    });
    return done.value_or(Delivery{Delivery::Result::Closed, "the show is ending"});
}

void LiveGame::OnSignal() {
    ui_.Post([this] {
        std::lock_guard lock(hostLock_);
        if (finished_) return;
        game_->DeliverSignals();
        RefreshSnapshot();
    });
}

int LiveGame::OnMessageBox(const MessageBoxRequest& box) {
    {
        std::lock_guard lock(hostLock_);
        lastBoxCaption_ = Utf16ToUtf8(box.caption);
        lastBoxText_ = Utf16ToUtf8(box.text);
        ++boxes_;
    }
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

bool LiveGame::WithGame(const std::function<void(host::HostedGame&)>& task) {
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
    const PanelFields fields = FieldsFor(options_.mode);
    snapshot_.number = ShownNumber(game_->ControlText(kNumberField));
    snapshot_.count = ShownNumber(game_->ControlText(kCountField));
    snapshot_.question = Utf8Or(game_->ControlText(fields.question));
    snapshot_.answer = Utf8Or(game_->ControlText(fields.answer));
    snapshot_.rightAnswerer = Utf8Or(game_->ControlText(kRightAnswererField));
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
        options_.mode == GameMode::Challenge ? players_.size() : game_->Scores().Ranking().size();
    counters.question = snapshot_.number < 0 ? std::string("-")
                                             : std::to_string(snapshot_.number) + "/" +
                                                   std::to_string(std::max(0, snapshot_.count));
    return counters;
}

json LiveGame::State() {
    json state;
    state["mode"] = host::GameModeName(options_.mode);
    state["frames"] = frames_.load();
    state["queue"] = {{"waiting", viewers_.Size()},
                      {"capacity", viewers_.Capacity()},
                      {"accepted", viewers_.Accepted()},
                      {"refused", viewers_.Refused()},
                      {"inGame", audienceWaiting_.load()}};
    std::lock_guard lock(hostLock_);
    state["question"] = {{"number", NumberOrNull(snapshot_.number)},
                         {"count", NumberOrNull(snapshot_.count)},
                         {"text", snapshot_.question},
                         {"answer", snapshot_.answer}};
    state["rightAnswerer"] = snapshot_.rightAnswerer;
    json scores = json::array();
    if (game_)
        for (const auto& [who, points] : game_->Scores().Ranking())
            scores.push_back({{"name", who}, {"points", points}});
    state["scores"] = std::move(scores);
    if (options_.mode == GameMode::Challenge) {
        json players = json::array();
        for (const auto& [id, player] : players_)
            players.push_back({{"id", id},
                               {"name", player.name},
                               {"gifts", player.gifts},
                               {"value", player.value}});
        state["players"] = std::move(players);
    }
    state["messageBoxes"] = boxes_;
    state["lastMessageBox"] =
        boxes_ == 0 ? json(nullptr) : json{{"caption", lastBoxCaption_}, {"text", lastBoxText_}};
    return state;
}

} // namespace show
