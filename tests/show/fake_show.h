// A show that records what reaches it and answers as a test tells it to.
#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "show/show_control.h"

namespace show_test {

class FakeShow final : public show::ShowControl {
public:
    show::Delivery OfferViewerEvent(hosting::ScenarioEvent event) override {
        std::lock_guard lock(mutex_);
        if (fullTimes > 0) {
            --fullTimes;
            return {show::Delivery::Result::Full, "the queue is full"};
        }
        viewerEvents.push_back(std::move(event));
        show::Delivery accepted;
        accepted.ticket = viewerEvents.size();
        return accepted;
    }
    show::Delivery ApplyPresenterAction(const hosting::ScenarioEvent& event) override {
        std::lock_guard lock(mutex_);
        if (!refusal.empty()) return {show::Delivery::Result::Refused, refusal};
        presenterEvents.push_back(event);
        return {};
    }
    // Judges at once, keeping the ticket waited for before the presenter's action due next.
    bool WaitUntilJudged(std::uint64_t ticket, const std::atomic<bool>&,
                         std::chrono::steady_clock::time_point) override {
        std::lock_guard lock(mutex_);
        waits.push_back({ticket, presenterEvents.size()});
        return true;
    }
    nlohmann::json State(std::size_t) override {
        return {{"mode", "free"}, {"question", {{"number", 2}}}};
    }

    std::vector<hosting::ScenarioEvent> Viewers() {
        std::lock_guard lock(mutex_);
        return viewerEvents;
    }
    std::vector<hosting::ScenarioEvent> Presenter() {
        std::lock_guard lock(mutex_);
        return presenterEvents;
    }
    // Each wait: the ticket and how many presenter's actions had been done before it.
    std::vector<std::pair<std::uint64_t, std::size_t>> Waits() {
        std::lock_guard lock(mutex_);
        return waits;
    }

    int fullTimes = 0;   // the next offers refused as "full"
    std::string refusal; // when set, every presenter action is refused with it

private:
    std::mutex mutex_;
    std::vector<hosting::ScenarioEvent> viewerEvents;
    std::vector<hosting::ScenarioEvent> presenterEvents;
    std::vector<std::pair<std::uint64_t, std::size_t>> waits;
};

} // namespace show_test
