// The show's state as every live host answers it at GET /api/state: one document whichever host
// runs the show (the `live` command, the OBS source, the frame filter), described by
// docs/state.schema.json. Each host gathers the parts on the thread that may read them; the
// document is made from the parts alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "hosting/hosted_game.h"
#include "hosting/scenario.h"
#include "show/show_control.h"

namespace show {

// The panel's fields the state shows.
struct PanelReading {
    int number = -1; // the question number the panel shows; -1: none
    int count = -1;  // questions in the bank; -1: none
    std::string question, answer, rightAnswerer;
};

// Reads them, on the thread that works the panel.
PanelReading ReadPanel(const hosting::HostedGame& game);

// Challenge mode's players: every viewer who sent gifts, with how many and what they were worth,
// kept in order of worth so that the biggest senders cost only their own number.
class GiftTally {
public:
    void Add(const hosting::ScenarioEvent& gift);
    std::size_t Size() const { return players_.size(); }
    // The `top` biggest senders, [{"id", "name", "gifts", "value"}...], most worth first (equal
    // worth: the lower id first).
    nlohmann::json Json(std::size_t top) const;

private:
    struct Player {
        std::string name; // the name the viewer's latest gift came with
        std::uint64_t gifts = 0;
        std::uint64_t value = 0;
    };
    std::map<std::uint32_t, Player> players_;
    std::set<std::pair<std::uint64_t, std::uint32_t>, std::greater<>> byWorth_; // (value, ~id)
};

// The viewers' events on their way to the game.
struct QueueFigures {
    std::size_t waiting = 0; // in the host's queue
    std::size_t capacity = 0;
    std::uint64_t accepted = 0;
    std::uint64_t refused = 0; // refused because the queue was full
    std::size_t inGame = 0;    // handed to the game's audience source, not yet taken
};

struct StateParts {
    hosting::GameMode mode = hosting::GameMode::Free;
    long frames = 0; // frames drawn
    QueueFigures queue;
    PanelReading panel;
    std::vector<std::pair<std::string, int>> ranking; // the top of the show's scores
    std::size_t scorers = 0;                          // viewers with a point
    const GiftTally* players = nullptr;               // challenge mode
    std::size_t top = kStateTop;                      // players listed, at most
    int messageBoxes = 0;
    std::optional<hosting::MessageBoxSeen> lastMessageBox;
    std::optional<season::SinkHealth> seasonFile;  // nothing when the show keeps no season
    nlohmann::json chat = nlohmann::json::array(); // the chat sources the show reads, each's status
    // A host that sends the show on itself: its input and outputs ("input", "outputs").
    nlohmann::json broadcast = nlohmann::json::object();
    nlohmann::json round = nlohmann::json::object();  // the question's clock and counts
    nlohmann::json feed = nlohmann::json::array();    // the latest answers, newest first
    nlohmann::json ignored = nlohmann::json::array(); // viewers the presenter silenced
};

nlohmann::json StateDocument(StateParts parts);

} // namespace show
