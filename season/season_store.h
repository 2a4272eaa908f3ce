// A season of shows in one SQLite file: every show, every scored answer and every gift, keyed by
// the viewer's id, with the names a viewer went by kept beside it. Written in WAL mode, so a
// host killed mid-write leaves the file whole with every committed event in it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "season/season_event.h"
#include "season/sqlite.h"

namespace season {

// The newest file layout this build reads and writes; older files are migrated on open.
inline constexpr int kSchemaVersion = 3;
// Viewers of chat platforms get ids from here up, apart from the ids a host's own relay gives.
inline constexpr std::uint32_t kFirstPlatformViewer = 0x80000000u;

// Which events a table counts: one season or all of them, and a time range [since, until).
struct SeasonQuery {
    std::optional<std::string> season;
    std::optional<std::int64_t> sinceMs;
    std::optional<std::int64_t> untilMs;
};

struct Standing {
    int rank = 0; // 1 for the most points; viewers with equal points share a rank
    std::uint32_t viewer = 0;
    std::string name; // the latest name the viewer was seen with
    std::int64_t points = 0;
    std::int64_t answers = 0;
    std::int64_t shows = 0;
    std::int64_t giftValue = 0; // count × value over every gift in the range
    std::string platform;       // the chat platform the viewer came from; empty: the host's own
};

class SeasonStore {
public:
    // Opens the file, creating it and its folder when missing, and brings its layout up to
    // `kSchemaVersion`. Throws `SqliteError` for a file it cannot use (say, one written by a
    // newer askgame), leaving the file as it was.
    explicit SeasonStore(const std::string& path);

    std::int64_t BeginShow(std::string_view season, std::string_view mode, std::int64_t startedMs);
    void EndShow(std::int64_t show, std::int64_t endedMs);
    // Writes `events` of `show` in one transaction: all of them or none.
    void Write(std::int64_t show, std::span<const SeasonEvent> events);

    // The viewers with the most points, best first; equal points in the order they were
    // reached. At most `top` rows.
    std::vector<Standing> Table(const SeasonQuery& query, int top);
    // One viewer's place, or nothing when the viewer scored nothing in the range.
    std::optional<Standing> StandingOf(std::uint32_t viewer, const SeasonQuery& query);
    // Every name the viewer was seen with, oldest first.
    std::vector<std::string> NamesOf(std::uint32_t viewer);
    // The viewers ignored in `season`, by id.
    std::vector<IgnoredViewer> IgnoredIn(std::string_view season);
    // The viewer id kept for `platformId` on `platform`, given (the next from
    // kFirstPlatformViewer) on first sight, so a platform's viewer keeps one id across shows.
    std::uint32_t PlatformViewer(std::string_view platform, std::string_view platformId);
    // The platform a viewer id was given for; empty for ids a host gave itself.
    std::string PlatformOf(std::uint32_t viewer);

private:
    void Migrate();
    void NoteViewer(const SeasonEvent& event);

    Database db_;
};

// Where a season is kept when the user names no file: $XDG_DATA_HOME/askgame/season.db, or
// ~/.local/share/askgame/season.db.
std::string DefaultSeasonPath();

} // namespace season
