// The host with the real plug-in, loaded through dlopen as a broadcaster loads it: a short
// scenario in each mode over the test card. These tests skip themselves, saying why, while the
// built plug-in lacks its exports or cannot make an effect.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "hosting/frame_io.h"
#include "hosting/hosted_game.h"
#include "hosting/player.h"
#include "support/capturing_sink.h"

namespace {

using namespace hosting;

const std::string kRuntime = ASKGAME_RUNTIME_DIR;

std::string TempDir() {
    auto dir = std::filesystem::temp_directory_path() / ("askgame-e2e-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir.string();
}

// Rows [from, to) of `a` and `b` are equal.
bool RowsEqual(const Frame& a, const Frame& b, int from, int to) {
    for (int y = from; y < to; ++y)
        if (std::memcmp(a.Row(y), b.Row(y), a.RowBytes()) != 0) return false;
    return true;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ASKGAME_ACP", "65001", 0); // the bank below is UTF-8
        std::string error;
        plugin_ = PluginLibrary::Open(kRuntime + "/libaskgame.so", error);
        if (!plugin_) GTEST_SKIP() << "the plug-in is not complete yet: " << error;
        folder_ = TempDir();
        std::ofstream(folder_ + "/bank.txt") << "[问题]\nRed planet? A Mars B Venus\n[答案]\nA\n"
                                                "[问题]\nCapital of France?\n[答案]\nParis\n";
    }

    // Plays `json` over the test card at 320×240; the frames land in `sink`.
    std::unique_ptr<HostedGame> Play(const std::string& json, CapturingSink& sink) {
        auto parsed = ParseScenario(json, "e2e.json", folder_);
        EXPECT_TRUE(parsed.scenario) << parsed.error;
        if (!parsed.scenario) return nullptr;
        scenario_ = *parsed.scenario;
        std::string error;
        auto game = HostedGame::Create(*plugin_, scenario_.mode, 320, 240, LCID_ENGLISH_US,
                                       transcript_, error);
        if (!game) return nullptr;
        TestCardSource card(320, 240);
        PlayOptions options;
        options.stillsFolder = folder_;
        options.quiet = true;
        const auto result = PlayScenario(*game, scenario_, card, &sink, transcript_, options);
        EXPECT_TRUE(result.ok) << result.error << "\n" << transcript_.ToString();
        game->Finish();
        return game;
    }

    Frame CardFrame(long index) const {
        Frame frame = *MakeFrame(320, 240);
        TestCard(320, 240).Draw(index, frame);
        return frame;
    }

    std::unique_ptr<PluginLibrary> plugin_;
    std::string folder_;
    Scenario scenario_;
    Transcript transcript_;
};

TEST_F(EndToEnd, FreeModeScoresEveryRightAnswerAndDrawsOnlyItsOverlay) {
    CapturingSink sink;
    auto game = Play(R"({"mode": "free", "size": "320x240", "fps": 10, "duration": 1.5,
      "viewers": {"a": {"id": 11, "name": "Anna"}, "b": {"id": 12, "name": "李娜"},
                  "c": {"id": 13, "name": "Chen"}},
      "events": [
        {"at": 0.0, "bank": "bank.txt"},
        {"at": 0.2, "click": "ButtonShowQue"},
        {"at": 0.5, "chat": "a", "text": "A"},
        {"at": 0.6, "chat": "b", "text": "B"},
        {"at": 0.7, "chat": "b", "text": "A"},
        {"at": 0.8, "chat": "c", "text": "a", "kind": "free"},
        {"at": 0.9, "gift": "c", "value": 5}
      ]})",
                     sink);
    if (!game) GTEST_SKIP() << "the plug-in cannot make the free-mode game yet";

    EXPECT_EQ(game->Scores().PointsOf("Anna(11)"), 1);
    EXPECT_EQ(game->Scores().PointsOf("李娜(12)"), 0) << "one try at a choice question";
    EXPECT_EQ(game->Scores().PointsOf("Chen(13)"), 1);
    EXPECT_EQ(transcript_.HostErrorCount(), 0) << transcript_.ToString();

    ASSERT_EQ(sink.frames.size(), 15u);
    // Before the question: nothing drawn at all.
    EXPECT_EQ(sink.frames[0].pixels, CardFrame(0).pixels);
    // After the answers: score list at the top, answer and congratulation at the bottom, the
    // middle of the picture untouched.
    const Frame& last = sink.frames.back();
    const Frame card = CardFrame(14);
    EXPECT_FALSE(RowsEqual(last, card, 0, 40));
    EXPECT_FALSE(RowsEqual(last, card, 200, 240));
    EXPECT_TRUE(RowsEqual(last, card, 130, 190));
}

TEST_F(EndToEnd, ChallengeModeShowsTheFirstRightPlayerOfTheThree) {
    CapturingSink sink;
    auto game = Play(R"({"mode": "challenge", "size": "320x240", "fps": 10, "duration": 2.0,
      "viewers": {"a": {"id": 21, "name": "Anna"}, "b": {"id": 22, "name": "Bruno"},
                  "c": {"id": 23, "name": "陈晨"}, "d": {"id": 24, "name": "Dora"}},
      "events": [
        {"at": 0.0, "bank": "bank.txt"},
        {"at": 0.1, "gift": "a", "count": 5, "value": 10},
        {"at": 0.2, "gift": "b", "count": 3, "value": 20},
        {"at": 0.3, "gift": "c", "count": 1, "value": 30},
        {"at": 0.5, "click": "ButtonShowChallengQue"},
        {"at": 0.6, "chat": "d", "text": "A"},
        {"at": 0.8, "chat": "c", "text": "a"},
        {"at": 0.9, "chat": "a", "text": "A"},
        {"at": 1.0, "click": "BtnNextQue"},
        {"at": 1.1, "click": "ButtonShowChallengQue"},
        {"at": 1.3, "chat": "b", "text": "paris"},
        {"at": 1.4, "chat": "a", "text": "Paris"}
      ]})",
                     sink);
    if (!game) GTEST_SKIP() << "the plug-in cannot make the challenge game yet";

    EXPECT_EQ(transcript_.Texts("right"),
              (std::vector<std::string>{"陈晨(23) answered right; 1 so far",
                                        "Anna(21) answered right; 1 so far"}));
    EXPECT_EQ(game->Scores().PointsOf("Dora(24)"), 0) << "not one of the three players";
    EXPECT_EQ(transcript_.HostErrorCount(), 0) << transcript_.ToString();

    ASSERT_EQ(sink.frames.size(), 20u);
    const Frame& last = sink.frames.back();
    const Frame card = CardFrame(19);
    EXPECT_FALSE(RowsEqual(last, card, 180, 240)) << "the players' band at the bottom";
    EXPECT_TRUE(RowsEqual(last, card, 90, 170)) << "nothing between question and players";
}

// The host program itself: a broken scenario or a missing plug-in is a clear error.
int RunHost(const std::string& arguments, std::string& output) {
    const std::string log = TempDir() + "/host-output.txt";
    const int status =
        std::system((kRuntime + "/askgame-host " + arguments + " >" + log + " 2>&1").c_str());
    std::ifstream in(log);
    output.assign(std::istreambuf_iterator<char>(in), {});
    return status;
}

TEST(HostProgram, MalformedScenarioIsReportedWithItsLine) {
    const std::string path = TempDir() + "/broken.json";
    std::ofstream(path) << "{\n  \"mode\": \"free\",\n  \"events\": [\n    {\"at\": 1,,}\n  ]\n}\n";
    std::string output;
    EXPECT_NE(RunHost("run --scenario " + path, output), 0);
    EXPECT_NE(output.find(path + ":4:"), std::string::npos) << output;
}

TEST(HostProgram, MissingPluginIsReportedByName) {
    const std::string dir = TempDir();
    std::ofstream(dir + "/ok.json") << R"({"mode": "free", "events": []})";
    std::string output;
    EXPECT_NE(RunHost("run --scenario " + dir + "/ok.json --output " + dir +
                          "/frames/ --plugin /nonexistent/libaskgame.so",
                      output),
              0);
    EXPECT_NE(output.find("cannot load the plug-in /nonexistent/libaskgame.so"), std::string::npos)
        << output;
}

TEST(HostProgram, UnreadableVideoIsReported) {
    const std::string dir = TempDir();
    std::ofstream(dir + "/ok.json") << R"({"mode": "free", "events": []})";
    std::string output;
    EXPECT_NE(RunHost("run --scenario " + dir + "/ok.json --output " + dir + "/frames/ --input " +
                          dir + "/ok.json",
                      output),
              0);
    EXPECT_NE(output.find("video"), std::string::npos) << output;
}

} // namespace
