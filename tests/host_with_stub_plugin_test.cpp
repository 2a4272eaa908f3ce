// Host-side faults the real plug-in never commits, provoked with a small stand-in plug-in: a
// message kept and never released, an unknown control, missing exports; and the host's frame
// flipping seen against an effect that marks a known band.
#include <cstring>

#include <gtest/gtest.h>

#include "hosting/hosted_game.h"
#include "hosting/player.h"
#include "support/capturing_sink.h"

namespace {

using namespace hosting;

struct StubRun {
    Transcript transcript;
    CapturingSink sink;
    PlayResult result;
};

std::unique_ptr<StubRun> PlayWithStub(const std::string& events, double duration = 0.5) {
    static std::unique_ptr<PluginLibrary> plugin;
    std::string error;
    if (!plugin)
        plugin = PluginLibrary::Open(std::string(ASKGAME_RUNTIME_DIR) + "/libaskgame-host-stub.so",
                                     error);
    EXPECT_TRUE(plugin) << error;
    const auto parsed = ParseScenario(
        R"({"mode": "challenge", "size": "64x40", "fps": 10, "duration": )" +
            std::to_string(duration) +
            R"(, "viewers": {"a": {"id": 1, "name": "Anna"}}, "events": [)" + events + "]}",
        "stub.json", ".");
    EXPECT_TRUE(parsed.scenario) << parsed.error;
    if (!plugin || !parsed.scenario) return nullptr;
    auto run = std::make_unique<StubRun>();
    auto game =
        HostedGame::Create(*plugin, GameMode::Challenge, 64, 40, 1033, run->transcript, error);
    EXPECT_TRUE(game) << error;
    if (!game) return nullptr;
    TestCardSource card(64, 40);
    PlayOptions options;
    options.quiet = true;
    run->result = PlayScenario(*game, *parsed.scenario, card, &run->sink, run->transcript, options);
    game->Finish();
    return run;
}

TEST(HostWithStubPlugin, FramesReachTheEffectTopDownAndUnmoved) {
    auto run = PlayWithStub("");
    ASSERT_TRUE(run);
    ASSERT_EQ(run->sink.frames.size(), 5u);
    // The effect paints the picture's top ten rows, which it finds by the sign of the height.
    const Frame& out = run->sink.frames[3];
    Frame card = *MakeFrame(64, 40);
    TestCard(64, 40).Draw(3, card);
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(out.Row(y)[0], 0xFF) << y;
    EXPECT_EQ(std::memcmp(out.Row(10), card.Row(10), card.RowBytes() * 30), 0);
}

TEST(HostWithStubPlugin, MessagesTheEffectKeepsAreReportedAsLeaks) {
    auto run = PlayWithStub(R"({"at": 0.1, "chat": "a", "text": "released"},
                               {"at": 0.2, "chat": "a", "text": "keep"})");
    ASSERT_TRUE(run);
    ASSERT_EQ(run->transcript.HostErrorCount(), 1) << run->transcript.ToString();
    EXPECT_NE(run->transcript.Texts("ERROR")[0].find("Anna(1) chat: \"keep\" was handed out and "
                                                     "never released"),
              std::string::npos)
        << run->transcript.ToString();
}

TEST(HostWithStubPlugin, UnknownControlStopsTheRunWithItsName) {
    auto run = PlayWithStub(R"({"at": 0.1, "click": "BtnMissing"})");
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
