// The season file: totals across shows and seasons, ranks, a viewer's names, the file's layout
// version, the recorder's commits, a host killed mid-write, and `run` + `scores` end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "hosting/scores.h"
#include "season/season_recorder.h"
#include "season/season_report.h"
#include "season/sqlite.h"
#include "show/season.h"

namespace {

using namespace season;

// The warnings a host would print, not wanted here.
void Ignore(const std::string&) {}

SeasonQuery OfSeason(std::string name) {
    SeasonQuery query;
    query.season = std::move(name);
    return query;
}

SeasonQuery Between(std::int64_t since, std::int64_t until) {
    SeasonQuery query;
    query.sinceMs = since;
    query.untilMs = until;
    return query;
}

class SeasonFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("askgame-season-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        path_ = (folder_ / "nested" / "season.db").string();
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    static SeasonEvent Answer(std::int64_t at, std::uint32_t viewer, std::string name) {
        SeasonEvent event;
        event.atMs = at;
        event.viewer = viewer;
        event.name = std::move(name);
        event.questionNumber = 1;
        event.question = "Red planet?";
        event.points = 1;
        return event;
    }
    static SeasonEvent Gift(std::int64_t at, std::uint32_t viewer, int count, int value) {
        SeasonEvent event;
        event.kind = SeasonEvent::Kind::Gift;
        event.atMs = at;
        event.viewer = viewer;
        event.name = "giver";
        event.giftCount = count;
        event.giftValue = value;
        return event;
    }

    std::filesystem::path folder_;
    std::string path_;
};

TEST_F(SeasonFile, TotalsAddUpAcrossShowsAndStaySeparateBySeasonAndTime) {
    {
        SeasonStore store(path_);
        const auto first = store.BeginShow("winter", "free", 1000);
        const std::vector<SeasonEvent> one = {Answer(1000, 7, "Ann"), Answer(1100, 8, "Bo"),
                                              Answer(1200, 7, "Ann"), Gift(1300, 8, 3, 10)};
        store.Write(first, one);
        const auto second = store.BeginShow("winter", "challenge", 5000);
        store.Write(second, std::vector{Answer(5000, 8, "Bo"), Answer(5100, 9, "Cy")});
        const auto other = store.BeginShow("spring", "free", 9000);
        store.Write(other, std::vector{Answer(9000, 9, "Cy"), Answer(9100, 9, "Cy")});
    }
    SeasonStore store(path_); // reopened: everything committed is there

    const auto winter = store.Table(OfSeason("winter"), 10);
    ASSERT_EQ(winter.size(), 3u);
    EXPECT_EQ(winter[0].viewer, 7u); // 2 points, reached at 1200
    EXPECT_EQ(winter[1].viewer, 8u); // 2 points, reached later at 5000: same rank, below
    EXPECT_EQ(winter[0].rank, 1);
    EXPECT_EQ(winter[1].rank, 1);
    EXPECT_EQ(winter[1].shows, 2);
    EXPECT_EQ(winter[1].giftValue, 30);
    EXPECT_EQ(winter[2].rank, 3);

    const auto all = store.Table({}, 2);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].viewer, 9u);
    EXPECT_EQ(all[0].points, 3);

    const auto early = store.Table(Between(1100, 5000), 10);
    ASSERT_EQ(early.size(), 2u);
    EXPECT_EQ(early[0].points + early[1].points, 2);

    const auto bo = store.StandingOf(8, OfSeason("winter"));
    ASSERT_TRUE(bo);
    EXPECT_EQ(bo->rank, 1);
    EXPECT_EQ(bo->points, 2);
    EXPECT_FALSE(store.StandingOf(7, OfSeason("spring")));
}

TEST_F(SeasonFile, AViewerIsKeptByIdThroughNameChanges) {
    SeasonStore store(path_);
    const auto show = store.BeginShow("main", "free", 0);
    store.Write(show, std::vector{Answer(10, 5, "Old name"), Answer(20, 5, "New, \"quoted\"")});
    // A late-arriving event must not undo the newer name.
    store.Write(show, std::vector{Answer(15, 5, "Old name")});

    const auto table = store.Table({}, 10);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].points, 3);
    EXPECT_EQ(table[0].name, "New, \"quoted\"");
    EXPECT_EQ(store.NamesOf(5), (std::vector<std::string>{"Old name", "New, \"quoted\""}));
    EXPECT_EQ(FormatCsv(table), "rank,viewer_id,name,points,answers,shows,gift_value,platform\n"
                                "1,5,\"New, \"\"quoted\"\"\",3,3,1,0,\n");
    EXPECT_NE(FormatStanding(table[0], store.NamesOf(5)).find("Also seen as: Old name"),
              std::string::npos);

    // A chat platform's viewer is listed with the platform.
    const std::uint32_t fan = store.PlatformViewer("twitch", "7001");
    store.Write(show, std::vector{Answer(30, fan, "Fan")});
    const auto both = store.Table({}, 10);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[1].platform, "twitch");
    EXPECT_NE(FormatTable(both).find("Fan (" + std::to_string(fan) + ", twitch)"),
              std::string::npos)
        << FormatTable(both);
    EXPECT_EQ(store.StandingOf(fan, {})->platform, "twitch");
}

TEST_F(SeasonFile, AFileFromANewerAskgameIsRefusedAndLeftAlone) {
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path());
    {
        Database db(path_);
        db.Execute("PRAGMA user_version = 99; CREATE TABLE future(x)");
    }
    EXPECT_THROW(SeasonStore{path_}, SqliteError);
    Database db(path_);
    Statement version(db, "PRAGMA user_version");
    ASSERT_TRUE(version.Step());
    EXPECT_EQ(version.Int(0), 99);
}

TEST_F(SeasonFile, AViewerIgnoredForTheSeasonStaysIgnoredInItsLaterShowsOnly) {
    const auto moderate = [](SeasonRecorder& recorder, SeasonEvent::Kind kind,
                             std::uint32_t viewer) {
        SeasonEvent event;
        event.kind = kind;
        event.atMs = 1000;
        event.viewer = viewer;
        event.name = "spam" + std::to_string(viewer);
        recorder.Record(std::move(event));
    };
    {
        SeasonRecorder recorder(path_, "main", "free");
        EXPECT_TRUE(recorder.IgnoredAtStart().empty());
        moderate(recorder, SeasonEvent::Kind::Ignore, 7);
        moderate(recorder, SeasonEvent::Kind::Ignore, 8);
    }
    {
        SeasonRecorder recorder(path_, "main", "challenge");
        ASSERT_EQ(recorder.IgnoredAtStart().size(), 2u);
        EXPECT_EQ(recorder.IgnoredAtStart()[0].name, "spam7");
        moderate(recorder, SeasonEvent::Kind::Unignore, 8);
    }
    EXPECT_TRUE(SeasonRecorder(path_, "autumn", "free").IgnoredAtStart().empty());
    SeasonRecorder recorder(path_, "main", "free");
    ASSERT_EQ(recorder.IgnoredAtStart().size(), 1u);
    EXPECT_EQ(recorder.IgnoredAtStart()[0].viewer, 7u);
    EXPECT_TRUE(SeasonStore(path_).Table({}, 10).empty()) << "ignoring scored somebody";
}

TEST_F(SeasonFile, TheRecorderCommitsEveryEventFromEveryThread) {
    constexpr int kThreads = 4, kEach = 5000;
    {
        SeasonRecorder recorder(path_, "main", "free");
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < kEach; ++i)
                    recorder.Record(Answer(i, static_cast<std::uint32_t>(t * kEach + i), "v"));
            });
        for (auto& thread : threads)
            thread.join();
        recorder.Flush();
        SeasonStore reader(path_);
        EXPECT_EQ(reader.Table({}, kThreads * kEach).size(), std::size_t{kThreads * kEach});
        recorder.Record(Answer(1, 1, "last")); // committed by the destructor
        EXPECT_FALSE(recorder.Health().Troubled()) << recorder.Health().error;
    }
    SeasonStore reader(path_);
    EXPECT_EQ(reader.StandingOf(1, {})->points, 2);
}

// A commit the file refuses (a full disk, say) keeps its events and tries again every interval:
// once the file takes them they are all there. Only events still refused when the show ends are
// lost, and the end of the show then fails, whichever the file.
TEST_F(SeasonFile, RefusedEventsWaitForTheFileAndOnlyThoseStillRefusedAtTheEndAreLost) {
    {
        SeasonRecorder recorder(path_, "main", "free");
        recorder.Record(Answer(1, 1, "kept"));
        recorder.Flush();
        Database(path_).Execute("ALTER TABLE answers RENAME TO answers_away");
        recorder.Record(Answer(2, 2, "late"));
        recorder.Record(Answer(3, 3, "late"));
        recorder.Flush();
        const season::SinkHealth refused = recorder.Health();
        EXPECT_EQ(refused.waiting, 2u);
        EXPECT_EQ(refused.lost, 0u);
        EXPECT_NE(refused.error.find("answers"), std::string::npos) << refused.error;

        Database(path_).Execute("ALTER TABLE answers_away RENAME TO answers"); // space again
        recorder.Record(Answer(4, 4, "later"));
        recorder.Flush();
        EXPECT_EQ(recorder.Health().waiting, 0u);
        EXPECT_EQ(recorder.Health().error, "");
        EXPECT_TRUE(show::FinishSeasonRecording(&recorder, {}, Ignore));
    }
    SeasonStore store(path_);
    EXPECT_EQ(store.Table(OfSeason("main"), 10).size(), 4u) << "every refused event came back";

    SeasonRecorder recorder(path_, "main", "free");
    Database(path_).Execute("DROP TABLE answers");
    recorder.Record(Answer(5, 5, "lost"));
    recorder.Flush();
    std::string said;
    EXPECT_FALSE(show::FinishSeasonRecording(&recorder, {}, [&](const std::string& line) {
        said = line;
    })) << "the default file fails the show too";
    EXPECT_NE(said.find("1 of this show's season events were not kept"), std::string::npos) << said;
}

// A host killed with SIGKILL while it records: the file opens whole and holds every event but
// those of the last commit interval.
TEST_F(SeasonFile, AKilledHostLosesOnlyTheLastMomentAndNeverTheFile) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        SeasonRecorder recorder(path_, "main", "free");
        // About 4,000 answers a second, a busy show's rate, committed as they come.
        for (std::uint32_t i = 0;; ++i) {
            recorder.Record(Answer(NowMs(), i % 1000, "viewer " + std::to_string(i % 1000)));
            if (i == 2000) {
                recorder.Flush(); // the file holds something before the parent waits to kill
                (void)!write(pipeFds[1], "r", 1);
            }
            if (i % 4 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    close(pipeFds[1]);
    char ready = 0;
    ASSERT_EQ(read(pipeFds[0], &ready, 1), 1);
    close(pipeFds[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const auto killedAt = NowMs();
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    Database db(path_);
    Statement check(db, "PRAGMA integrity_check");
    ASSERT_TRUE(check.Step());
    EXPECT_EQ(check.Text(0), "ok");
    Statement last(db, "SELECT COUNT(*), MAX(at_ms) FROM answers");
    ASSERT_TRUE(last.Step());
    EXPECT_GT(last.Int(0), 2000);
    EXPECT_GT(last.Int(1), killedAt - 1000) << "more than the last second was lost";
}

TEST(SeasonDates, DaysAndMonthsParseAndImpossibleDatesDoNot) {
    EXPECT_EQ(ParseDay("1970-01-02"), 86'400'000);
    EXPECT_EQ(ParseDay("2026-12"), ParseDay("2026-12-01"));
    for (const char* bad : {"2026-02-30", "2026-13", "2026-1-1", "26-01-01", "2026-01-01x", ""})
        EXPECT_FALSE(ParseDay(bad)) << bad;
}

TEST(SeasonLabels, TheRightAnswererLabelGivesBackNameAndId) {
    const auto parsed = hosting::ParseSenderLabel("Mr (Big)(4294967295)");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->name, "Mr (Big)");
    EXPECT_EQ(parsed->id, 4294967295u);
    for (const char* bad : {"name", "name()", "name(12", "name(1x)", "name(4294967296)"})
        EXPECT_FALSE(hosting::ParseSenderLabel(bad)) << bad;
}

// Two shows played by the host into one file, read back by `askgame-host scores`.
TEST_F(SeasonFile, TwoShowsOfTheHostAddUpInScores) {
    const std::string host = std::string(ASKGAME_RUNTIME_DIR) + "/askgame-host";
    const std::string scenarios = std::string(ASKGAME_SOURCE_DIR) + "/data/scenarios/";
    for (const char* mode : {"free", "challenge"}) {
        const std::string command = host + " run --scenario " + scenarios + "demo-" + mode +
                                    ".json --size 320x240 --output " + folder_.string() + "/" +
                                    mode + ".mp4 --db " + path_ + " --season test >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    // The command's output and exit status for `arguments`.
    auto scores = [&](const std::string& arguments, int& status) {
        FILE* out = popen((host + " scores " + arguments + " 2>&1").c_str(), "r");
        std::string text;
        char buffer[256];
        while (out && std::fgets(buffer, sizeof buffer, out))
            text += buffer;
        status = out ? pclose(out) : -1;
        status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return text;
    };
    int status = 0;
    const std::string csv = scores("--csv --season test --db " + path_, status);
    ASSERT_EQ(status, 0) << csv;
    // Lucas Martin answered 3 in the free game and 1 in the challenge, where the panel shows
    // his name cut short: the file keeps his full name.
    EXPECT_NE(csv.find("\n1,1005,Lucas Martin,4,4,2,100,\n"), std::string::npos) << csv;

    const std::string top = scores("--top 1 --season test --db " + path_, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(top.substr(0, top.find('\n')), "Rank  Points  Answers  Shows  Gifts  Viewer");
    EXPECT_NE(top.find("   1       4        4      2    100  Lucas Martin"), std::string::npos)
        << top;
    EXPECT_EQ(std::count(top.begin(), top.end(), '\n'), 2) << top;
    const std::string lucas = scores("--viewer 1005 --db " + path_, status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(lucas.find("rank 1, 4 point(s) from 4 answer(s) in 2 show(s)"), std::string::npos)
        << lucas;
    const std::string later = scores("--since 2999-01 --db " + path_, status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(later.find("No scored answers in this range."), std::string::npos) << later;

    EXPECT_EQ((scores("--since 2026-02-30 --db " + path_, status), status), 64);
    EXPECT_EQ((scores("--db " + (folder_ / "none.db").string(), status), status), 66);
}

} // namespace
