// `askgame-host scores`: the season's leaderboard, or one viewer's standing, from a season file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace host {

struct ScoresArgs {
    std::string db; // empty: the default file
    std::optional<std::string> season;
    std::optional<std::string> since; // YYYY-MM-DD or YYYY-MM
    std::optional<std::string> until;
    int top = 10;
    std::optional<std::uint32_t> viewer;
    bool csv = false;
};

// Prints the season's table, or one viewer's standing; the exit status.
int RunScores(const ScoresArgs& args);

} // namespace host
