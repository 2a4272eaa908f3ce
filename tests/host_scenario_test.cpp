// Scenario files: what a well-formed one turns into, and how a broken one is reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "askgame/audience.h"
#include "hosting/scenario.h"
#include "support/watched_fifo.h"

namespace {

using hosting::ActionKind;
using hosting::LoadScenarioFile;
using hosting::ParseScenario;

constexpr const char* kGood = R"({
  "mode": "challenge",
  "size": "320x240",
  "fps": 10,
  "viewers": { "ming": { "id": 1001, "name": "王小明" } },
  "events": [
    { "at": 1.0, "chat": "ming", "text": "B", "kind": "challenge" },
    { "at": 0.5, "gift": "ming", "count": 3, "value": 20 },
    { "at": 1.0, "click": "BtnNextQue" },
    { "at": 1.2, "type": "EditNum", "text": "4" },
    { "at": 1.3, "option": "OptShowQuestion", "selected": true },
    { "at": 1.4, "bank": "banks/quiz.txt" },
    { "at": 1.5, "still": "answer", "comment": "the right answer shows" }
  ]
})";

TEST(Scenario, GoodFileBecomesEventsInFrameOrder) {
    const auto result = ParseScenario(kGood, "good.json", "/shows");
    ASSERT_TRUE(result.scenario) << result.error;
    const auto& s = *result.scenario;
    EXPECT_EQ(s.mode, hosting::GameMode::Challenge);
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 240);
    EXPECT_DOUBLE_EQ(s.duration, 3.5) << "two seconds after the last event";
    EXPECT_EQ(s.FrameCount(), 35);
    ASSERT_EQ(s.events.size(), 7u);

    EXPECT_EQ(s.events[0].kind, ActionKind::Gift);
    EXPECT_EQ(s.events[0].frame, 5);
    EXPECT_EQ(s.events[0].giftCount, 3);
    EXPECT_EQ(s.events[0].viewer.name, u"王小明");
    // Same frame: file order is kept.
    EXPECT_EQ(s.events[1].kind, ActionKind::Chat);
    EXPECT_EQ(s.events[1].chatKind, AudienceKind::ChallengeText);
    EXPECT_EQ(s.events[1].viewer.id, 1001u);
    EXPECT_EQ(s.events[2].control, "BtnNextQue");
    EXPECT_EQ(s.events[3].text, u"4");
    EXPECT_TRUE(s.events[4].selected);
    EXPECT_EQ(s.events[5].path, "/shows/banks/quiz.txt");
    EXPECT_EQ(s.events[6].path, "answer");
}

TEST(Scenario, ChangingTheFrameRateRetimesEvents) {
    auto s = *ParseScenario(kGood, "good.json", ".").scenario;
    s.SetFps(30);
    EXPECT_EQ(s.events[0].frame, 15);
    EXPECT_EQ(s.FrameCount(), 105);
}

TEST(Scenario, MalformedJsonNamesFileLineAndColumn) {
    const char* text = "{\n  \"mode\": \"free\",\n  \"events\": [\n    { \"at\": 1, }\n  ]\n}\n";
    const auto result = ParseScenario(text, "broken.json", ".");
    EXPECT_FALSE(result.scenario);
    EXPECT_EQ(result.error.rfind("broken.json:4:", 0), 0u) << result.error;
    EXPECT_EQ(result.error.find("json.exception"), std::string::npos) << result.error;

    // A number no type holds is the library's other kind of parse failure.
    const auto overflow =
        ParseScenario(R"({"mode": "free", "fps": 1e999, "events": []})", "huge.json", ".");
    EXPECT_FALSE(overflow.scenario);
    EXPECT_EQ(overflow.error, "huge.json: number overflow parsing '1e999'");

    // Malformed text is told before a fault in an event read ahead of it.
    const auto late = ParseScenario(R"({"mode": "free", "events": [{"at": -1, "click": "x"}, {]})",
                                    "late.json", ".");
    EXPECT_EQ(late.error.rfind("late.json:1:", 0), 0u) << late.error;
}

struct BadCase {
    const char* name;
    const char* events;
    const char* expected;
};

TEST(Scenario, ContentFaultsSayWhereAndWhat) {
    const BadCase cases[] = {
        {"unknown action", R"([{"at": 1, "jump": "x"}])", "events[0]: unknown action \"jump\""},
        {"missing at", R"([{"click": "BtnGo"}])", "events[0]: missing field \"at\""},
        {"missing text", R"([{"at": 1, "type": "EditNum"}])", "missing field \"text\""},
        {"unknown viewer", R"([{"at": 1, "chat": "nobody", "text": "B"}])",
         "unknown viewer \"nobody\""},
        {"two actions", R"([{"at": 1, "click": "BtnGo", "still": "x"}])", "two actions"},
        {"typo in a field", R"([{"at": 1, "click": "BtnGo", "colour": 1}])",
         "unknown field \"colour\""},
        {"negative time", R"([{"at": -1, "click": "BtnGo"}])", "\"at\" must be seconds"},
        {"gift too big", R"([{"at": 1, "gift": "v", "value": 70000}])", "\"value\" must be"},
        {"still as a path", R"([{"at": 1, "still": "../x"}])", "plain file name"},
        {"negative kind", R"([{"at": 1, "chat": "v", "text": "B", "kind": -5}])",
         "\"kind\" must be a whole number from 0 to 4294967295 or a kind name"},
        {"field twice", R"([{"at": 1, "click": "BtnGo"}, {"at": 2, "at": 3, "click": "BtnGo"}])",
         "events[1]: duplicate field \"at\""},
    };
    for (const auto& c : cases) {
        const std::string text = std::string(R"({"mode": "free", "viewers": {"v": {"id": 1,
            "name": "V"}}, "events": )") +
                                 c.events + "}";
        const auto result = ParseScenario(text, "s.json", ".");
        EXPECT_FALSE(result.scenario) << c.name;
        EXPECT_NE(result.error.find(c.expected), std::string::npos)
            << c.name << ": " << result.error;
        EXPECT_EQ(result.error.rfind("s.json: ", 0), 0u) << c.name;
    }
}

TEST(Scenario, TopLevelFaults) {
    EXPECT_NE(ParseScenario(R"({"events": []})", "s", ".").error.find("missing field \"mode\""),
              std::string::npos);
    EXPECT_NE(ParseScenario(R"({"mode": "quiz", "events": []})", "s", ".").error.find("quiz"),
              std::string::npos);
    EXPECT_NE(ParseScenario(R"({"mode": "free", "size": "321x240", "events": []})", "s", ".")
                  .error.find("size"),
              std::string::npos);
    EXPECT_NE(ParseScenario(R"([1, 2])", "s", ".").error.find("JSON object"), std::string::npos);
    // The last of two values would win silently and run the other game.
    EXPECT_EQ(
        ParseScenario(R"({"mode": "free", "mode": "challenge", "events": []})", "s", ".").error,
        "s: top level: duplicate field \"mode\"; each field may appear once");
    EXPECT_NE(ParseScenario(R"({"mode": "free", "viewers": {"a": {"id": 1, "id": 2, "name": "A"}},
              "events": []})",
                            "s", ".")
                  .error.find("s: viewers.a: duplicate field \"id\""),
              std::string::npos);
    EXPECT_EQ(ParseScenario(R"({"mode": "free", "viewers": {"a": {"id": 1, "name": "A"},
              "a": {"id": 2, "name": "B"}}, "events": []})",
                            "s", ".")
                  .error,
              "s: viewers: duplicate field \"a\"; each field may appear once");
}

TEST(Scenario, FrameSizeText) {
    int w = 0, h = 0;
    EXPECT_TRUE(hosting::ParseFrameSize("1280x720", w, h));
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
    for (const char* bad : {"1280", "x720", "1280x", "1280x720x2", "99999x720", "641x480", "-2x4"})
        EXPECT_FALSE(hosting::ParseFrameSize(bad, w, h)) << bad;
}

TEST(Scenario, ShippedScenariosParse) {
    for (const char* name : {"demo-free.json", "demo-challenge.json"}) {
        const auto result =
            hosting::LoadScenarioFile(std::string(ASKGAME_SOURCE_DIR) + "/data/scenarios/" + name);
        EXPECT_TRUE(result.scenario) << result.error;
    }
}

TEST(Scenario, EventsMayComeBeforeTheViewersTheyName) {
    const auto result = ParseScenario(R"({"events": [{"at": 1, "chat": "v", "text": "B"}],
        "mode": "free", "viewers": {"v": {"id": 7, "name": "V"}}})",
                                      "s", ".");
    ASSERT_TRUE(result.scenario) << result.error;
    EXPECT_EQ(result.scenario->events[0].viewer.id, 7u);
}

// A room of `viewers`, each declared and answering once, as a generator would write it.
std::string Room(int viewers) {
    std::string text = R"({"mode": "free", "viewers": {)";
    for (int i = 0; i < viewers; ++i)
        text += (i ? ", " : "") + ("\"v" + std::to_string(i) + "\": {\"id\": ") +
                std::to_string(i + 1) + R"(, "name": "Viewer )" + std::to_string(i) + "\"}";
    text += R"(}, "events": [)";
    for (int i = 0; i < viewers; ++i)
        text += (i ? ", " : "") + (R"({"at": )" + std::to_string(i / 1000) + R"(, "chat": "v)") +
                std::to_string(i) + R"(", "text": "B"})";
    return text + "]}";
}

TEST(Scenario, AScenarioOfAGreatRoomIsRead) {
    constexpr int kViewers = 200'000; // a reading quadratic in them takes minutes
    const auto result = ParseScenario(Room(kViewers), "room.json", ".");
    ASSERT_TRUE(result.scenario) << result.error;
    ASSERT_EQ(result.scenario->events.size(), std::size_t{kViewers});
    const auto& last = result.scenario->events.back();
    EXPECT_EQ(last.viewer.id, std::uint32_t{kViewers});
    EXPECT_EQ(last.viewer.name, u"Viewer 199999");
    EXPECT_EQ(last.frame, 199 * 25);
}

TEST(ScenarioFile, OnlyARegularFileWithinTheCapIsRead) {
    const std::string dir = ::testing::TempDir();
    const test_support::WatchedFifo fifo(dir + "/scenario-fifo.json");
    ASSERT_TRUE(fifo.Made());
    EXPECT_EQ(LoadScenarioFile(fifo.Path()).error,
              fifo.Path() + ": the scenario is a FIFO, not a regular file; give a scenario file "
                            "(JSON)");
    EXPECT_FALSE(fifo.Opened()) << "refused without waiting for a writer";
    EXPECT_NE(LoadScenarioFile("/dev/zero").error.find("/dev/zero: the scenario is a device"),
              std::string::npos);
    EXPECT_NE(LoadScenarioFile(dir).error.find("is a folder"), std::string::npos);
    EXPECT_NE(LoadScenarioFile(dir + "/no-such.json").error.find("cannot open"), std::string::npos);

    // A file one byte beyond the cap, its bytes never written (a sparse file).
    const std::string big = dir + "/scenario-too-big.json";
    std::ofstream(big).close();
    std::filesystem::resize_file(big, hosting::kMaxScenarioBytes + 1);
    const std::string error = LoadScenarioFile(big).error;
    EXPECT_NE(error.find("larger than the 64 MiB a scenario may have"), std::string::npos) << error;
    std::filesystem::remove(big);
}

} // namespace
