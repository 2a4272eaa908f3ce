// The show's endpoint inside a video tool: viewers' chat and gifts and the presenter's panel
// actions arrive on the endpoint's threads and wait here until the tool's next frame, where they
// reach the game on the video thread, in the order they came. A presenter's action is answered
// once that frame has applied it; when no frame comes in time it is withdrawn and refused. The
// presenter's page reads the panel the same way: its reading runs on the video thread after the
// next frame is drawn, so the panel is only ever touched on the thread that draws.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "hosting/hosted_game.h"
#include "show/endpoint.h"
#include "show/event_queue.h"
#include "show/show_control.h"
#include "show/show_state.h"

namespace frei0r_adapter {

// Viewers' events waiting for the next frame; more are refused as "full".
inline constexpr std::size_t kLiveQueueCapacity = 1024;
// How long a presenter's action waits for a frame to apply it.
inline constexpr std::chrono::seconds kPresenterWait{5};

class LiveLink final : public show::ShowControl {
public:
    explicit LiveLink(hosting::GameMode mode);
    LiveLink(const LiveLink&) = delete;
    LiveLink& operator=(const LiveLink&) = delete;
    // Refuses what still waits: the show is ending.
    ~LiveLink() override;

    // ---- On the video thread, before each frame is drawn and after it
    // Hands what arrived to `game`: viewers' events queued, presenters' actions applied.
    void Deliver(hosting::HostedGame& game);
    // Takes the game's state for the state route and runs the panel readings waiting.
    void Observe(hosting::HostedGame& game);
    // A gift the scenario gave: its sender is a player, as one from the endpoint is.
    void CountGift(const hosting::ScenarioEvent& gift);
    // Refuses everything waiting and everything that comes later.
    void Close();
    // The state lists the chat sources `statuses` answers (a JSON array).
    void ReportChatSources(std::function<nlohmann::json()> statuses);

    // ---- ShowControl, on the endpoint's threads
    show::Delivery OfferViewerEvent(hosting::ScenarioEvent event) override;
    show::Delivery ApplyPresenterAction(const hosting::ScenarioEvent& event) override;
    nlohmann::json State(std::size_t top = show::kStateTop) override;

    // ---- On a thread that may wait (the presenter page's)
    // Runs `task` with the panel's control tree on the video thread after the next frame, and
    // waits for it. False when no frame came in time or the show ended (the task did not run).
    using PanelTask = std::function<void(DuiLib::CControlUI* panel)>;
    bool ReadPanel(const PanelTask& task);

private:
    // Work waiting for the video thread: a presenter's action, or a reading of the panel.
    struct Action {
        hosting::ScenarioEvent event;
        const PanelTask* read = nullptr; // a reading; the waiting sender owns the task
        bool taken = false;              // the video thread is on it
        bool done = false;               // applied (or refused), `answer` says which
        bool withdrawn = false;          // given up by its sender before it was taken
        show::Delivery answer;
    };
    using Queue = std::deque<std::shared_ptr<Action>>;

    // Queues `action` and waits until the video thread is done with it.
    show::Delivery AwaitFrame(const std::shared_ptr<Action>& action, Queue& queue);
    // Runs every action waiting in `queue` through `work` on the video thread.
    void RunWaiting(Queue& queue, const std::function<bool(Action&, std::string&)>& work);

    hosting::GameMode mode_;
    show::BoundedQueue<hosting::ScenarioEvent> viewers_{kLiveQueueCapacity};
    std::mutex lock_;
    std::condition_variable answered_;
    Queue actions_;
    Queue reads_;
    bool closed_ = false;
    // The game as the last frame left it, for the state route; under lock_.
    show::StateParts observed_;
    std::function<nlohmann::json()> chatStatuses_; // guarded by lock_
    show::GiftTally players_;
    std::uint64_t rankingVersion_ = ~std::uint64_t{0}; // video thread only
};

} // namespace frei0r_adapter
