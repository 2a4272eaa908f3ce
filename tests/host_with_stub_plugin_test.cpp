// The host's whole path (dlopen, panel attached and bound, presenter clicks through the toolkit,
// audience bookkeeping, signal answered with "GameNotify", frames flipped for the effect) run
// against a small stand-in plug-in whose behaviour is known.
#include <gtest/gtest.h>

#include "host/frame_io.h"
#include "host/hosted_game.h"
#include "host/player.h"

namespace {

using namespace host;

class CapturingSink final : public FrameSink {
public:
    bool Put(const Frame& frame) override {
        frames.push_back(frame);
        return true;
    }
    bool Close(std::string&) override { return true; }
    std::string Where() const override { return "memory"; }
    std::vector<Frame> frames;
};

struct StubRun {
    Transcript transcript;
    CapturingSink sink;
    std::unique_ptr<HostedGame> game;
    PlayResult result;
};

std::unique_ptr<StubRun> PlayWithStub(const std::string& json) {
    static std::unique_ptr<PluginLibrary> plugin;
    std::string error;
    if (!plugin)
        plugin = PluginLibrary::Open(std::string(ASKGAME_RUNTIME_DIR) + "/libaskgame-host-stub.so",
                                     error);
    EXPECT_TRUE(plugin) << error;
    auto run = std::make_unique<StubRun>();
    const auto parsed = ParseScenario(json, "stub.json", ".");
    EXPECT_TRUE(parsed.scenario) << parsed.error;
    if (!plugin || !parsed.scenario) return nullptr;
    run->game =
        HostedGame::Create(*plugin, GameMode::Challenge, 64, 40, 1033, run->transcript, error);
    EXPECT_TRUE(run->game) << error;
    if (!run->game) return nullptr;
    TestCardSource card(64, 40);
    PlayOptions options;
    options.quiet = true;
    run->result =
        PlayScenario(*run->game, *parsed.scenario, card, &run->sink, run->transcript, options);
    run->game->Finish();
    return run;
}

constexpr const char* kViewers = R"("viewers": {"a": {"id": 1, "name": "Anna"},
                                               "b": {"id": 2, "name": "Bo"}})";

TEST(HostWithStubPlugin, RightAnswerReachesThePanelThroughGameNotify) {
    auto run = PlayWithStub(std::string(R"({"mode": "challenge", "size": "64x40", "fps": 10,
        "duration": 1.0, )") +
                            kViewers + R"(, "events": [
        {"at": 0.1, "type": "ChallengeAnswer", "text": "B"},
        {"at": 0.2, "click": "ButtonShowChallengQue"},
        {"at": 0.4, "chat": "b", "text": "A"},
        {"at": 0.5, "chat": "a", "text": "B"},
        {"at": 0.6, "chat": "b", "text": "B"}]})");
    ASSERT_TRUE(run);
    ASSERT_TRUE(run->result.ok) << run->result.error;
    EXPECT_EQ(run->transcript.Texts("right"),
              std::vector<std::string>{"Anna(1) answered right; 1 so far"});
    EXPECT_EQ(run->game->Scores().PointsOf("Bo(2)"), 0);
    EXPECT_EQ(run->transcript.HostErrorCount(), 0) << run->transcript.ToString();
    // The message after the right answer was never taken: it is not a leak.
    EXPECT_EQ(run->game->Audience().Outstanding(), 0u);
}

TEST(HostWithStubPlugin, FramesReachTheEffectBottomUpAndComeBackTopDown) {
    auto run = PlayWithStub(std::string(R"({"mode": "challenge", "size": "64x40", "fps": 10,
        "duration": 0.5, "events": [{"at": 0.2, "click": "ButtonShowChallengQue"}]})"));
    ASSERT_TRUE(run);
    ASSERT_EQ(run->sink.frames.size(), 5u);
    Frame card = *MakeFrame(64, 40);
    TestCard(64, 40).Draw(1, card);
    EXPECT_EQ(run->sink.frames[1].pixels, card.pixels) << "nothing drawn before the question";
    // The effect paints the last ten rows of its bottom-up buffer: the top of the picture.
    const Frame& open = run->sink.frames[3];
    TestCard(64, 40).Draw(3, card);
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(open.Row(y)[0], 0xFF) << y;
    EXPECT_EQ(std::memcmp(open.Row(10), card.Row(10), card.RowBytes() * 30), 0);
}

TEST(HostWithStubPlugin, MessagesTheEffectKeepsAreReportedAsLeaks) {
    auto run = PlayWithStub(std::string(R"({"mode": "challenge", "size": "64x40", "fps": 10,
        "duration": 0.5, )") +
                            kViewers + R"(, "events": [
        {"at": 0.1, "click": "ButtonShowChallengQue"},
        {"at": 0.2, "chat": "a", "text": "keep"}]})");
    ASSERT_TRUE(run);
    ASSERT_EQ(run->transcript.HostErrorCount(), 1);
    EXPECT_NE(run->transcript.Texts("ERROR")[0].find("Anna(1) chat: \"keep\" was handed out and "
                                                     "never released"),
              std::string::npos)
        << run->transcript.ToString();
}

TEST(HostWithStubPlugin, UnknownControlStopsTheRunWithItsName) {
    auto run = PlayWithStub(R"({"mode": "challenge", "size": "64x40", "fps": 10,
        "events": [{"at": 0.1, "click": "BtnMissing"}]})");
    ASSERT_TRUE(run);
    EXPECT_FALSE(run->result.ok);
    EXPECT_NE(run->result.error.find("no control named \"BtnMissing\""), std::string::npos)
        << run->result.error;
}

TEST(HostWithStubPlugin, MissingExportsAreNamed) {
    std::string error;
    EXPECT_FALSE(
        PluginLibrary::Open(std::string(ASKGAME_RUNTIME_DIR) + "/libaskgame-toolkit.so", error));
    EXPECT_NE(error.find("does not export QvCreateVideoEffect, QvCreateEffectUI and "
                         "QvDestroyEffect"),
              std::string::npos)
        << error;
}

} // namespace
