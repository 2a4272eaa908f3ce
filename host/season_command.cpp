#include "host/season_command.h"

#include <cstdio>
#include <filesystem>

#include "season/season_report.h"

namespace host {

namespace {

bool ReadDay(const std::optional<std::string>& text, const char* option,
             std::optional<std::int64_t>& ms) {
    if (!text) return true;
    ms = season::ParseDay(*text);
    if (!ms)
        std::fprintf(stderr, "askgame-host: %s %s: expected YYYY-MM-DD or YYYY-MM\n", option,
                     text->c_str());
    return ms.has_value();
}

} // namespace

std::unique_ptr<season::SeasonRecorder> OpenSeasonRecorder(const SeasonArgs& args, GameMode mode,
                                                           std::string& error) {
    if (args.off) return nullptr;
    const std::string path = SeasonPath(args);
    try {
        return std::make_unique<season::SeasonRecorder>(path, args.season, GameModeName(mode));
    } catch (const season::SqliteError& e) {
        if (!args.db.empty()) {
            error = "--db " + path + ": " + e.what();
        } else {
            std::fprintf(stderr, "askgame-host: warning: this show's scores are not kept: %s: %s\n",
                         path.c_str(), e.what());
        }
        return nullptr;
    }
}

bool FinishSeasonRecording(season::SeasonRecorder* recorder, const SeasonArgs& args) {
    if (!recorder) return true;
    recorder->Flush();
    const std::size_t lost = recorder->Lost();
    if (lost == 0) return true;
    std::string why = recorder->Error();
    if (why.empty()) why = "the writer fell too far behind";
    std::fprintf(stderr,
                 "askgame-host: %s%zu of this show's season events were not kept in %s: %s\n",
                 args.db.empty() ? "warning: " : "", lost, SeasonPath(args).c_str(), why.c_str());
    return args.db.empty();
}

std::string SeasonPath(const SeasonArgs& args) {
    return args.db.empty() ? season::DefaultSeasonPath() : args.db;
}

nlohmann::json ScoresJson(const std::string& path, const std::optional<std::string>& season,
                          int top) {
    try {
        season::SeasonStore store(path);
        season::SeasonQuery query;
        query.season = season;
        nlohmann::json rows = nlohmann::json::array();
        for (const auto& s : store.Table(query, top))
            rows.push_back({{"rank", s.rank},
                            {"viewer", s.viewer},
                            {"name", s.name},
                            {"points", s.points},
                            {"answers", s.answers},
                            {"shows", s.shows},
                            {"gifts", s.giftValue}});
        return {{"season", season ? nlohmann::json(*season) : nlohmann::json()}, {"rows", rows}};
    } catch (const season::SqliteError& e) {
        return {{"error", e.what()}};
    }
}

int RunScores(const ScoresArgs& args) {
    season::SeasonQuery query;
    query.season = args.season;
    if (!ReadDay(args.since, "--since", query.sinceMs) ||
        !ReadDay(args.until, "--until", query.untilMs))
        return 2;
    const std::string path = args.db.empty() ? season::DefaultSeasonPath() : args.db;
    if (!std::filesystem::exists(path)) {
        std::fprintf(stderr, "askgame-host: %s: no season recorded yet\n", path.c_str());
        return 1;
    }
    try {
        season::SeasonStore store(path);
        if (args.viewer) {
            const auto standing = store.StandingOf(*args.viewer, query);
            if (!standing) {
                std::printf("Viewer %u scored nothing in this range.\n", *args.viewer);
                return 0;
            }
            std::fputs(season::FormatStanding(*standing, store.NamesOf(*args.viewer)).c_str(),
                       stdout);
            return 0;
        }
        const auto table = store.Table(query, args.top);
        std::fputs((args.csv ? season::FormatCsv(table) : season::FormatTable(table)).c_str(),
                   stdout);
        return 0;
    } catch (const season::SqliteError& e) {
        std::fprintf(stderr, "askgame-host: %s: %s\n", path.c_str(), e.what());
        return 1;
    }
}

} // namespace host
