#include "host/scores_command.h"

#include <cstdio>
#include <filesystem>

#include "host/exit_status.h"
#include "season/season_report.h"
#include "season/season_store.h"

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

int RunScores(const ScoresArgs& args) {
    season::SeasonQuery query;
    query.season = args.season;
    if (!ReadDay(args.since, "--since", query.sinceMs) ||
        !ReadDay(args.until, "--until", query.untilMs))
        return kExitUsage;
    const std::string path = args.db.empty() ? season::DefaultSeasonPath() : args.db;
    if (!std::filesystem::exists(path)) {
        std::fprintf(stderr, "askgame-host: %s: no season recorded yet\n", path.c_str());
        return kExitNoInput;
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
        return kExitIo;
    }
}

} // namespace host
