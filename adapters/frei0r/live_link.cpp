#include "adapters/frei0r/live_link.h"

#include <algorithm>
#include <vector>

#include "platform/utf.h"

namespace frei0r_adapter {

namespace {

constexpr const char* kClosedReason = "the video has ended";

} // namespace

LiveLink::LiveLink(hosting::GameMode mode) : mode_(mode) {
    observed_.mode = mode;
}

LiveLink::~LiveLink() {
    Close();
}

void LiveLink::Close() {
    std::lock_guard lock(lock_);
    closed_ = true;
    for (Queue* queue : {&actions_, &reads_}) {
        for (const auto& action : *queue) {
            action->done = true;
            action->answer = {show::Delivery::Result::Closed, kClosedReason};
        }
        queue->clear();
    }
    answered_.notify_all();
}

void LiveLink::Deliver(hosting::HostedGame& game) {
    std::vector<hosting::ScenarioEvent> arrived;
    viewers_.DrainInto(arrived, kLiveQueueCapacity);
    std::string error;
    for (const hosting::ScenarioEvent& event : arrived) {
        game.Apply(event, error); // a viewer's chat or gift is always queued
        if (event.kind == hosting::ActionKind::Gift) CountGift(event);
    }

    RunWaiting(actions_, [&game](Action& action, std::string& failure) {
        return game.Apply(action.event, failure);
    });
}

void LiveLink::RunWaiting(Queue& queue, const std::function<bool(Action&, std::string&)>& work) {
    std::unique_lock taking(lock_);
    if (queue.empty()) return; // most frames: a deque allocates even when made empty
    Queue waiting;
    waiting.swap(queue);
    taking.unlock();
    for (const auto& action : waiting) {
        {
            std::lock_guard lock(lock_);
            if (action->withdrawn) continue;
            action->taken = true;
        }
        std::string error;
        const bool applied = work(*action, error);
        std::lock_guard lock(lock_);
        action->done = true;
        if (!applied) action->answer = {show::Delivery::Result::Refused, error};
    }
    answered_.notify_all();
}

void LiveLink::CountGift(const hosting::ScenarioEvent& gift) {
    std::lock_guard lock(lock_);
    players_.Add(gift);
}

void LiveLink::Observe(hosting::HostedGame& game) {
    show::PanelReading panel = show::ReadPanel(game);
    std::optional<season::SinkHealth> season = game.SeasonHealth();
    // The ranking is sorted anew only when a point was scored since the last frame.
    std::optional<std::vector<std::pair<std::string, int>>> ranking;
    if (game.Scores().Version() != rankingVersion_) {
        rankingVersion_ = game.Scores().Version();
        ranking = game.Scores().Top(show::kMaxStateTop);
    }
    {
        std::lock_guard lock(lock_);
        ++observed_.frames;
        observed_.queue.inGame = game.Audience().Waiting();
        observed_.panel = std::move(panel);
        if (ranking) observed_.ranking = std::move(*ranking);
        observed_.scorers = game.Scores().Count();
        observed_.messageBoxes = game.MessageBoxes();
        observed_.lastMessageBox = game.LastMessageBox();
        observed_.seasonFile = std::move(season);
    }
    RunWaiting(reads_, [&game](Action& action, std::string&) {
        (*action.read)(game.Panel());
        return true;
    });
}

show::Delivery LiveLink::OfferViewerEvent(hosting::ScenarioEvent event) {
    {
        std::lock_guard lock(lock_);
        if (closed_) return {show::Delivery::Result::Closed, kClosedReason};
    }
    if (!viewers_.TryPush(std::move(event)))
        return {show::Delivery::Result::Full, "too many viewers' events wait for the next frame"};
    return {};
}

show::Delivery LiveLink::ApplyPresenterAction(const hosting::ScenarioEvent& event) {
    auto action = std::make_shared<Action>();
    action->event = event;
    return AwaitFrame(action, actions_);
}

bool LiveLink::ReadPanel(const PanelTask& task) {
    auto action = std::make_shared<Action>();
    action->read = &task;
    return AwaitFrame(action, reads_).Ok();
}

show::Delivery LiveLink::AwaitFrame(const std::shared_ptr<Action>& action, Queue& queue) {
    std::unique_lock lock(lock_);
    if (closed_) return {show::Delivery::Result::Closed, kClosedReason};
    queue.push_back(action);
    if (!answered_.wait_for(lock, kPresenterWait, [&] { return action->done; })) {
        if (!action->taken) {
            action->withdrawn = true;
            return {show::Delivery::Result::Refused,
                    "no video frame came to apply the action; nothing was done"};
        }
        // Being applied right now: its answer is a frame away.
        answered_.wait(lock, [&] { return action->done; });
    }
    return action->answer;
}

void LiveLink::ReportChatSources(std::function<nlohmann::json()> statuses) {
    std::lock_guard lock(lock_);
    chatStatuses_ = std::move(statuses);
}

nlohmann::json LiveLink::State(std::size_t top) {
    std::lock_guard lock(lock_);
    show::StateParts parts = observed_;
    if (chatStatuses_) parts.chat = chatStatuses_();
    top = std::min(top, show::kMaxStateTop);
    if (parts.ranking.size() > top) parts.ranking.resize(top);
    parts.top = top;
    parts.queue.waiting = viewers_.Size();
    parts.queue.capacity = viewers_.Capacity();
    parts.queue.accepted = viewers_.Accepted();
    parts.queue.refused = viewers_.Refused();
    parts.players = &players_;
    return show::StateDocument(std::move(parts));
}

} // namespace frei0r_adapter
