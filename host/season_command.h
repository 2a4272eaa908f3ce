// The host's side of the season file: recording a show into it and `askgame-host scores`.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "host/scenario.h"
#include "season/season_recorder.h"

namespace host {

// Where and under which season name a show is recorded.
struct SeasonArgs {
    std::string db; // empty: the default file
    std::string season = "main";
    bool off = false; // --no-season: record nothing
};

// The recorder for one show, or null when recording is off. When the file cannot be used:
// null with the reason in `error` if the user named the file (the show should not go on
// unrecorded), or null with a warning printed if it was the default file.
std::unique_ptr<season::SeasonRecorder> OpenSeasonRecorder(const SeasonArgs& args, GameMode mode,
                                                           std::string& error);

// Commits the rest of the show and says on stderr if any of its events never reached the file,
// so scores lost to a failing disk are not mistaken for kept ones. False when events were lost
// from a file the user named (as failing to open it would be); null records nothing.
bool FinishSeasonRecording(season::SeasonRecorder* recorder, const SeasonArgs& args);

// The file a show's scores go to.
std::string SeasonPath(const SeasonArgs& args);

// The season's table as JSON for the presenter's page: {"season": ..., "rows": [{"rank",
// "viewer", "name", "points", "answers", "shows", "gifts"}...]}, or {"error": ...}.
nlohmann::json ScoresJson(const std::string& path, const std::optional<std::string>& season,
                          int top);

struct ScoresArgs {
    std::string db;
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
