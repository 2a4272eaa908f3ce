// What the outside world can do to a running show, whichever host runs it: offer a viewer's
// event, have the presenter act on the panel, read the state. The endpoint and the event reader
// talk to this and to nothing else.
#pragma once

#include <cstddef>
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

    bool Ok() const { return result == Result::Accepted; }
};

class ShowControl {
public:
    virtual ~ShowControl() = default;

    // A viewer's chat or gift, queued for the game; returns at once.
    virtual Delivery OfferViewerEvent(hosting::ScenarioEvent event) = 0;
    // A presenter's action on the panel, done on the user-interface thread; returns when done.
    virtual Delivery ApplyPresenterAction(const hosting::ScenarioEvent& event) = 0;
    // The show's state: mode, question, the top `top` of scores and players with their counts,
    // right answerer, last message box.
    virtual nlohmann::json State(std::size_t top = kStateTop) = 0;
};

} // namespace show
