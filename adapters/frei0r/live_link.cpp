#include "adapters/frei0r/live_link.h"

#include <vector>

#include "platform/utf.h"

namespace frei0r_adapter {

namespace {

constexpr const char* kClosedReason = "the video has ended";

struct PanelNames {
    const char16_t* question;
    const char16_t* answer;
};

PanelNames NamesFor(host::GameMode mode) {
    if (mode == host::GameMode::Free) return {u"Question", u"RightAnswer"};
    return {u"ChallengeQue", u"ChallengeAnswer"};
}

std::string TextOf(const host::HostedGame& game, const char16_t* control) {
    return Utf16ToUtf8(game.ControlText(control).value_or(u""));
}

} // namespace

LiveLink::LiveLink(host::GameMode mode) : mode_(mode) {
    state_ = {{"mode", host::GameModeName(mode)}, {"frame", -1}};
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

void LiveLink::Deliver(host::HostedGame& game) {
    std::vector<host::ScenarioEvent> arrived;
    viewers_.DrainInto(arrived, kLiveQueueCapacity);
    std::string error;
    for (const host::ScenarioEvent& event : arrived)
        game.Apply(event, error); // a viewer's chat or gift is always queued

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

void LiveLink::Observe(const host::HostedGame& game, long frame) {
    const PanelNames names = NamesFor(mode_);
    nlohmann::json state = {{"mode", host::GameModeName(mode_)},
                            {"frame", frame},
                            {"question", TextOf(game, names.question)},
                            {"answer", TextOf(game, names.answer)},
                            {"messageBoxes", game.MessageBoxes()}};
    {
        std::lock_guard lock(lock_);
        state_ = std::move(state);
    }
    RunWaiting(reads_, [&game](Action& action, std::string&) {
        (*action.read)(game.Panel());
        return true;
    });
}

show::Delivery LiveLink::OfferViewerEvent(host::ScenarioEvent event) {
    {
        std::lock_guard lock(lock_);
        if (closed_) return {show::Delivery::Result::Closed, kClosedReason};
    }
    if (!viewers_.TryPush(std::move(event)))
        return {show::Delivery::Result::Full, "too many viewers' events wait for the next frame"};
    return {};
}

show::Delivery LiveLink::ApplyPresenterAction(const host::ScenarioEvent& event) {
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

nlohmann::json LiveLink::State() {
    std::lock_guard lock(lock_);
    return state_;
}

} // namespace frei0r_adapter
