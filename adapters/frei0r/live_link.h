// The show's endpoint inside a video tool: viewers' chat and gifts and the presenter's panel
// actions arrive on the endpoint's threads and wait here until the tool's next frame, where they
// reach the game on the video thread, in the order they came. A presenter's action is answered
// once that frame has applied it; when no frame comes in time it is withdrawn and refused.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "host/hosted_game.h"
#include "show/endpoint.h"
#include "show/event_queue.h"
#include "show/show_control.h"

namespace frei0r_adapter {

// Viewers' events waiting for the next frame; more are refused as "full".
inline constexpr std::size_t kLiveQueueCapacity = 1024;
// How long a presenter's action waits for a frame to apply it.
inline constexpr std::chrono::seconds kPresenterWait{5};

class LiveLink final : public show::ShowControl {
public:
    explicit LiveLink(host::GameMode mode);
    LiveLink(const LiveLink&) = delete;
    LiveLink& operator=(const LiveLink&) = delete;
    // Refuses what still waits: the show is ending.
    ~LiveLink() override;

    // ---- On the video thread, before each frame is drawn and after it
    // Hands what arrived to `game`: viewers' events queued, presenters' actions applied.
    void Deliver(host::HostedGame& game);
    // Takes the panel's state for the state route.
    void Observe(const host::HostedGame& game, long frame);
    // Refuses everything waiting and everything that comes later.
    void Close();

    // ---- ShowControl, on the endpoint's threads
    show::Delivery OfferViewerEvent(host::ScenarioEvent event) override;
    show::Delivery ApplyPresenterAction(const host::ScenarioEvent& event) override;
    nlohmann::json State() override;

private:
    struct Action {
        host::ScenarioEvent event;
        bool taken = false;     // the video thread is applying it
        bool done = false;      // applied (or refused), `answer` says which
        bool withdrawn = false; // given up by its sender before it was taken
        show::Delivery answer;
    };

    host::GameMode mode_;
    show::BoundedQueue<host::ScenarioEvent> viewers_{kLiveQueueCapacity};
    std::mutex lock_;
    std::condition_variable answered_;
    std::deque<std::shared_ptr<Action>> actions_;
    bool closed_ = false;
    nlohmann::json state_;
};

} // namespace frei0r_adapter
