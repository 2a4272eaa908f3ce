// The season a live host keeps: the show's right answers and gifts recorded into a season file
// (by default the one `askgame-host scores` reads), and the season's table served to the page
// and to bots at GET /api/scores.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "hosting/scenario.h"
#include "season/season_recorder.h"

namespace show::http {
class Server;
}

namespace show {

// Where and under which season name a show is recorded.
struct SeasonOptions {
    std::string db; // empty: the default file
    std::string season = "main";
    bool off = false; // record nothing

    bool operator==(const SeasonOptions&) const = default;
};

// Where a host says what went wrong with its season file (a line, without the host's name).
using SeasonSay = std::function<void(const std::string& line)>;

// The recorder for one show, or null when recording is off. When the file cannot be used:
// null with the reason in `error` if the user named the file (the show should not go on
// unrecorded), or null with a warning said if it was the default file.
std::unique_ptr<season::SeasonRecorder> OpenSeasonRecorder(const SeasonOptions& options,
                                                           hosting::GameMode mode,
                                                           std::string& error,
                                                           const SeasonSay& say);

// Commits what the show still holds and says if any of its events never reached the file, so
// scores lost to a failing disk are not mistaken for kept ones: false then, whichever the file.
// Null records nothing.
bool FinishSeasonRecording(season::SeasonRecorder* recorder, const SeasonOptions& options,
                           const SeasonSay& say);

// The file a show's scores go to.
std::string SeasonPath(const SeasonOptions& options);

// The season's table as JSON for the presenter's page: {"season": ..., "rows": [{"rank",
// "viewer", "name", "points", "answers", "shows", "gifts"}...]}, or {"error": ...}.
nlohmann::json ScoresJson(const std::string& path, const std::optional<std::string>& season,
                          int top);

// GET /api/scores: the season's table, ?top=N (default 10, at most 1000) and ?season=NAME (the
// show's own by default; empty: every season). 404 when the show keeps no season, 500 when the
// file cannot be read. `options` outlives the server.
void AddSeasonRoute(http::Server& server, const SeasonOptions& options);

} // namespace show
