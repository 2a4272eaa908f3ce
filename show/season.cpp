#include "show/season.h"

#include <algorithm>
#include <cstdlib>

#include "show/http_server.h"

namespace show {

namespace {

// Rows of the season's table a request gets by default, and at most.
constexpr int kDefaultScoresRows = 10;
constexpr int kMaxScoresRows = 1000;

} // namespace

std::unique_ptr<season::SeasonRecorder> OpenSeasonRecorder(const SeasonOptions& args,
                                                           hosting::GameMode mode,
                                                           std::string& error,
                                                           const SeasonSay& say) {
    if (args.off) return nullptr;
    const std::string path = SeasonPath(args);
    try {
        return std::make_unique<season::SeasonRecorder>(path, args.season,
                                                        hosting::GameModeName(mode));
    } catch (const season::SqliteError& e) {
        if (!args.db.empty()) {
            error = "the season file " + path + ": " + e.what();
        } else {
            say("warning: this show's scores are not kept: " + path + ": " + e.what());
        }
        return nullptr;
    }
}

bool FinishSeasonRecording(season::SeasonRecorder* recorder, const SeasonOptions& args,
                           const SeasonSay& say) {
    if (!recorder) return true;
    recorder->Flush();
    const season::SinkHealth health = recorder->Health();
    const std::size_t lost = health.lost + health.waiting;
    if (lost == 0) return true;
    std::string why = health.error;
    if (why.empty()) why = "the writer fell too far behind";
    say(std::to_string(lost) + " of this show's season events were not kept in " +
        SeasonPath(args) + ": " + why);
    return false;
}

std::string SeasonPath(const SeasonOptions& args) {
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

void AddSeasonRoute(http::Server& server, const SeasonOptions& options) {
    server.Get("/api/scores", [&options](const http::Request& request, http::Response& response) {
        const auto reply = [&response](int status, const nlohmann::json& body) {
            response.status = status;
            response.SetContent(body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                                "application/json");
        };
        if (options.off) {
            reply(404, {{"error", "this show keeps no season"}});
            return;
        }
        const int top = std::clamp(std::atoi(request.Param("top").c_str()), 0, kMaxScoresRows);
        // The show's own season unless asked for another; an empty name means every season.
        std::optional<std::string> season = options.season;
        if (request.HasParam("season")) season = request.Param("season");
        if (season && season->empty()) season.reset();
        const auto body =
            ScoresJson(SeasonPath(options), season, top > 0 ? top : kDefaultScoresRows);
        reply(body.contains("error") ? 500 : 200, body);
    });
}

} // namespace show
