#include "season/season_store.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace season {

namespace {

// kMigrations[v] takes a file from layout v to v + 1.
constexpr std::array<const char*, kSchemaVersion> kMigrations = {
    R"sql(
    CREATE TABLE shows(
        id INTEGER PRIMARY KEY,
        season TEXT NOT NULL,
        mode TEXT NOT NULL,
        started_ms INTEGER NOT NULL,
        ended_ms INTEGER);
    CREATE TABLE viewers(
        id INTEGER PRIMARY KEY,
        name TEXT NOT NULL,
        last_seen_ms INTEGER NOT NULL);
    CREATE TABLE viewer_names(
        viewer INTEGER NOT NULL REFERENCES viewers(id),
        name TEXT NOT NULL,
        first_seen_ms INTEGER NOT NULL,
        PRIMARY KEY(viewer, name)) WITHOUT ROWID;
    CREATE TABLE answers(
        id INTEGER PRIMARY KEY,
        show INTEGER NOT NULL REFERENCES shows(id),
        at_ms INTEGER NOT NULL,
        viewer INTEGER NOT NULL REFERENCES viewers(id),
        name TEXT NOT NULL,
        question_number INTEGER NOT NULL,
        question TEXT NOT NULL,
        points INTEGER NOT NULL);
    CREATE INDEX answers_by_viewer ON answers(viewer, at_ms);
    CREATE TABLE gifts(
        id INTEGER PRIMARY KEY,
        show INTEGER NOT NULL REFERENCES shows(id),
        at_ms INTEGER NOT NULL,
        viewer INTEGER NOT NULL REFERENCES viewers(id),
        name TEXT NOT NULL,
        count INTEGER NOT NULL,
        value INTEGER NOT NULL);
    CREATE INDEX gifts_by_viewer ON gifts(viewer, at_ms);
    )sql",
    R"sql(
    CREATE TABLE platform_viewers(
        platform TEXT NOT NULL,
        platform_id TEXT NOT NULL,
        viewer INTEGER NOT NULL UNIQUE,
        PRIMARY KEY(platform, platform_id)) WITHOUT ROWID;
    )sql",
    R"sql(
    CREATE TABLE ignored_viewers(
        season TEXT NOT NULL,
        viewer INTEGER NOT NULL,
        name TEXT NOT NULL,
        since_ms INTEGER NOT NULL,
        PRIMARY KEY(season, viewer)) WITHOUT ROWID;
    )sql",
};

// Every viewer who scored in the range with their totals; the named parameters are the query's.
constexpr const char* kTotals = R"sql(
    WITH totals AS (
        SELECT a.viewer AS viewer, SUM(a.points) AS points, COUNT(*) AS answers,
               COUNT(DISTINCT a.show) AS shows, MAX(a.at_ms) AS reached_ms
        FROM answers a JOIN shows s ON s.id = a.show
        WHERE (:season IS NULL OR s.season = :season) AND a.at_ms >= :since AND a.at_ms < :until
        GROUP BY a.viewer),
    given AS (
        SELECT g.viewer AS viewer, SUM(g.count * g.value) AS value
        FROM gifts g JOIN shows s ON s.id = g.show
        WHERE (:season IS NULL OR s.season = :season) AND g.at_ms >= :since AND g.at_ms < :until
        GROUP BY g.viewer)
    )sql";

void BindQuery(Statement& statement, const SeasonQuery& query) {
    if (query.season)
        statement.Bind(1, *query.season);
    else
        statement.BindNull(1);
    statement.Bind(2, query.sinceMs.value_or(std::numeric_limits<std::int64_t>::min()));
    statement.Bind(3, query.untilMs.value_or(std::numeric_limits<std::int64_t>::max()));
}

Standing ReadStanding(const Statement& row) {
    Standing standing;
    standing.viewer = static_cast<std::uint32_t>(row.Int(0));
    standing.name = row.Text(1);
    standing.points = row.Int(2);
    standing.answers = row.Int(3);
    standing.shows = row.Int(4);
    standing.giftValue = row.Int(5);
    standing.rank = static_cast<int>(row.Int(6));
    standing.platform = row.Text(7);
    return standing;
}

std::string CreatedFolderFor(const std::string& path) {
    const auto folder = std::filesystem::path(path).parent_path();
    std::error_code ignored; // opening the file reports a folder that could not be made
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    return path;
}

} // namespace

SeasonStore::SeasonStore(const std::string& path) : db_(CreatedFolderFor(path)) {
    db_.Execute("PRAGMA foreign_keys = ON");
    Migrate();
    // WAL with NORMAL syncing: a killed process loses nothing committed and never leaves a torn
    // file; only a power cut can lose the last commits.
    db_.Execute("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL");
}

void SeasonStore::Migrate() {
    Transaction transaction(db_);
    Statement read(db_, "PRAGMA user_version");
    read.Step();
    const auto version = read.Int(0);
    read.Reset();
    if (version > kSchemaVersion)
        throw SqliteError("the season file was written by a newer askgame (layout " +
                          std::to_string(version) + "; this one knows up to " +
                          std::to_string(kSchemaVersion) + ")");
    if (version == kSchemaVersion) return;
    for (auto v = version; v < kSchemaVersion; ++v)
        db_.Execute(kMigrations[static_cast<std::size_t>(v)]);
    db_.Execute(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    transaction.Commit();
}

std::int64_t SeasonStore::BeginShow(std::string_view season, std::string_view mode,
                                    std::int64_t startedMs) {
    Statement insert(db_, "INSERT INTO shows(season, mode, started_ms) VALUES (?, ?, ?)");
    insert.Bind(1, season).Bind(2, mode).Bind(3, startedMs).Run();
    return db_.LastInsertId();
}

void SeasonStore::EndShow(std::int64_t show, std::int64_t endedMs) {
    Statement update(db_, "UPDATE shows SET ended_ms = ? WHERE id = ?");
    update.Bind(1, endedMs).Bind(2, show).Run();
}

void SeasonStore::Write(std::int64_t show, std::span<const SeasonEvent> events) {
    if (events.empty()) return;
    Transaction transaction(db_);
    Statement viewer(db_, "INSERT INTO viewers(id, name, last_seen_ms) VALUES (?1, ?2, ?3) "
                          "ON CONFLICT(id) DO UPDATE SET name = ?2, last_seen_ms = ?3 "
                          "WHERE ?3 >= last_seen_ms");
    Statement name(db_, "INSERT OR IGNORE INTO viewer_names(viewer, name, first_seen_ms) "
                        "VALUES (?, ?, ?)");
    Statement answer(db_, "INSERT INTO answers(show, at_ms, viewer, name, question_number, "
                          "question, points) VALUES (?, ?, ?, ?, ?, ?, ?)");
    Statement gift(db_, "INSERT INTO gifts(show, at_ms, viewer, name, count, value) "
                        "VALUES (?, ?, ?, ?, ?, ?)");
    Statement ignore(db_, "INSERT OR REPLACE INTO ignored_viewers(season, viewer, name, since_ms) "
                          "SELECT season, ?, ?, ? FROM shows WHERE id = ?");
    Statement unignore(db_, "DELETE FROM ignored_viewers WHERE viewer = ? AND "
                            "season = (SELECT season FROM shows WHERE id = ?)");
    for (const auto& event : events) {
        if (event.kind == SeasonEvent::Kind::Ignore) {
            ignore.Bind(1, event.viewer)
                .Bind(2, event.name)
                .Bind(3, event.atMs)
                .Bind(4, show)
                .Run();
            continue;
        }
        if (event.kind == SeasonEvent::Kind::Unignore) {
            unignore.Bind(1, event.viewer).Bind(2, show).Run();
            continue;
        }
        viewer.Bind(1, event.viewer).Bind(2, event.name).Bind(3, event.atMs).Run();
        name.Bind(1, event.viewer).Bind(2, event.name).Bind(3, event.atMs).Run();
        if (event.kind == SeasonEvent::Kind::Answer)
            answer.Bind(1, show)
                .Bind(2, event.atMs)
                .Bind(3, event.viewer)
                .Bind(4, event.name)
                .Bind(5, event.questionNumber)
                .Bind(6, event.question)
                .Bind(7, event.points)
                .Run();
        else
            gift.Bind(1, show)
                .Bind(2, event.atMs)
                .Bind(3, event.viewer)
                .Bind(4, event.name)
                .Bind(5, event.giftCount)
                .Bind(6, event.giftValue)
                .Run();
    }
    transaction.Commit();
}

std::vector<IgnoredViewer> SeasonStore::IgnoredIn(std::string_view season) {
    Statement select(db_, "SELECT viewer, name FROM ignored_viewers WHERE season = ? "
                          "ORDER BY viewer");
    select.Bind(1, season);
    std::vector<IgnoredViewer> ignored;
    while (select.Step())
        ignored.push_back({static_cast<std::uint32_t>(select.Int(0)), select.Text(1)});
    return ignored;
}

std::vector<Standing> SeasonStore::Table(const SeasonQuery& query, int top) {
    Statement select(db_, (std::string(kTotals) + R"sql(
        SELECT t.viewer, v.name, t.points, t.answers, t.shows, COALESCE(g.value, 0),
               RANK() OVER (ORDER BY t.points DESC), COALESCE(p.platform, '')
        FROM totals t JOIN viewers v ON v.id = t.viewer LEFT JOIN given g ON g.viewer = t.viewer
        LEFT JOIN platform_viewers p ON p.viewer = t.viewer
        ORDER BY t.points DESC, t.reached_ms ASC, t.viewer ASC
        LIMIT :top)sql")
                              .c_str());
    BindQuery(select, query);
    select.Bind(4, top);
    std::vector<Standing> table;
    while (select.Step())
        table.push_back(ReadStanding(select));
    return table;
}

std::optional<Standing> SeasonStore::StandingOf(std::uint32_t viewer, const SeasonQuery& query) {
    Statement select(db_, (std::string(kTotals) + R"sql(
        SELECT t.viewer, v.name, t.points, t.answers, t.shows, COALESCE(g.value, 0),
               1 + (SELECT COUNT(*) FROM totals o WHERE o.points > t.points),
               COALESCE(p.platform, '')
        FROM totals t JOIN viewers v ON v.id = t.viewer LEFT JOIN given g ON g.viewer = t.viewer
        LEFT JOIN platform_viewers p ON p.viewer = t.viewer
        WHERE t.viewer = :viewer)sql")
                              .c_str());
    BindQuery(select, query);
    select.Bind(4, viewer);
    if (!select.Step()) return std::nullopt;
    return ReadStanding(select);
}

std::vector<std::string> SeasonStore::NamesOf(std::uint32_t viewer) {
    Statement select(db_, "SELECT name FROM viewer_names WHERE viewer = ? "
                          "ORDER BY first_seen_ms, name");
    select.Bind(1, viewer);
    std::vector<std::string> names;
    while (select.Step())
        names.push_back(select.Text(0));
    return names;
}

std::uint32_t SeasonStore::PlatformViewer(std::string_view platform, std::string_view platformId) {
    Transaction transaction(db_);
    Statement find(db_,
                   "SELECT viewer FROM platform_viewers WHERE platform = ? AND platform_id = ?");
    find.Bind(1, platform).Bind(2, platformId);
    if (find.Step()) return static_cast<std::uint32_t>(find.Int(0));
    Statement next(db_, "SELECT COALESCE(MAX(viewer) + 1, ?) FROM platform_viewers");
    next.Bind(1, static_cast<std::int64_t>(kFirstPlatformViewer));
    next.Step();
    const std::int64_t viewer = next.Int(0);
    if (viewer > std::numeric_limits<std::uint32_t>::max())
        throw SqliteError("the season file has no viewer ids left for chat platforms");
    Statement insert(
        db_, "INSERT INTO platform_viewers(platform, platform_id, viewer) VALUES (?, ?, ?)");
    insert.Bind(1, platform).Bind(2, platformId).Bind(3, viewer).Run();
    transaction.Commit();
    return static_cast<std::uint32_t>(viewer);
}

std::string SeasonStore::PlatformOf(std::uint32_t viewer) {
    Statement find(db_, "SELECT platform FROM platform_viewers WHERE viewer = ?");
    find.Bind(1, viewer);
    return find.Step() ? find.Text(0) : std::string();
}

std::string DefaultSeasonPath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::filesystem::path folder;
    if (data && *data)
        folder = data;
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = std::filesystem::path(home) / ".local" / "share";
    else
        folder = ".";
    return (folder / "askgame" / "season.db").string();
}

} // namespace season
