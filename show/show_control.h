// What the outside world can do to a running show, whichever host runs it: offer a viewer's
// event, have the presenter act on the panel, read the state. The endpoint and the event reader
// talk to this and to nothing else.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "hosting/scenario.h"

namespace show {

// The most scores and players a state lists by default, and at most: the state's cost follows
// what it shows, never the size of the audience.
inline constexpr std::size_t kStateTop = 10;
inline constexpr std::size_t kMaxStateTop = 100;

struct Delivery {
    enum class Result {
        Accepted, // queued (viewers) or done (presenter)
        Full,     // the queue is full; nothing changed, try again later
        Refused,  // the panel refused the action; nothing changed
        Closed,   // the show is ending
    };
    Result result = Result::Accepted;
    std::string reason; // one line when not accepted
    // An accepted viewer's event: its place among every viewer's event the show took, from 1,
    // for WaitUntilJudged. 0 for a show that keeps no count, and for a presenter's action.
    std::uint64_t ticket = 0;

    bool Ok() const { return result == Result::Accepted; }
};

// The presenter's hand on the question's clock.
struct RoundAction {
    enum class Kind { Seconds, Add, Close, Reveal };
    Kind kind = Kind::Close;
    int seconds = 0; // Seconds, Add
};

// The presenter's hand on who reaches the game.
struct Moderation {
    bool ignore = true; // false: heard again
    std::uint32_t viewer = 0;
    bool season = false; // ignored for the season: in this show and every later one
};

class ShowControl {
public:
    virtual ~ShowControl() = default;

    // A viewer's chat or gift, queued for the game; returns at once.
    virtual Delivery OfferViewerEvent(hosting::ScenarioEvent event) = 0;
    // A presenter's action on the panel, done on the user-interface thread; returns when done.
    virtual Delivery ApplyPresenterAction(const hosting::ScenarioEvent& event) = 0;
    // Waits until the game has judged every viewer's event up to the one given `ticket`, so
    // that a presenter's action that came after them (the next question) is done after them.
    // False when `stop` was set, the show ended or `until` passed first. A show that keeps no
    // count (its offers carry no ticket) answers true at once.
    virtual bool WaitUntilJudged(std::uint64_t /*ticket*/, const std::atomic<bool>& /*stop*/,
                                 std::chrono::steady_clock::time_point /*until*/) {
        return true;
    }
    // The presenter works the question's clock; refused by a show that keeps none.
    virtual Delivery ApplyRoundAction(const RoundAction& /*action*/) {
        return {Delivery::Result::Refused, "this show keeps no round clock", 0};
    }
    // An ignored viewer's events no longer reach the game; refused by a show that cannot.
    virtual Delivery Moderate(const Moderation& /*moderation*/) {
        return {Delivery::Result::Refused, "this show cannot ignore viewers", 0};
    }
    // The show's state: mode, question, the top `top` of scores and players with their counts,
    // right answerer, last message box.
    virtual nlohmann::json State(std::size_t top = kStateTop) = 0;
};

} // namespace show
