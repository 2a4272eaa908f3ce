// How the effects call into the host: never while they hold a lock (a host may call straight back,
// on its own thread or another), never into a source whose effect is gone, and with one shared
// room behind every challenge effect.
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "game/challenge_game.h"
#include "game/free_mode.h"
#include "platform/file.h"
#include "platform/font_testing.h"
#include "plugin/base_video_effect.h"
#include "support/fake_audience.h"
#include "support/panel_harness.h"

namespace {

constexpr int kW = 320, kH = 240;
const std::u16string kEnglish =
    FromNativePath(ASKGAME_SOURCE_DIR "/data/VideoGames/AskGame/English.xml");

// A room whose host reacts to the effect's calls on the spot, as a host that handles them
// synchronously does; `retired` marks a source its host has freed: any call then is counted.
class ReactingAudience : public FakeAudience {
public:
    std::function<void()> onSignal, onStateChange, onRelease;
    bool retired = false;
    int callsAfterRetired = 0;

    std::shared_ptr<AudienceMessageList> GetPendingMessages() override {
        Touch();
        return FakeAudience::GetPendingMessages();
    }
    AudienceMessage* PopMessage() override {
        Touch();
        return FakeAudience::PopMessage();
    }
    void ReleaseMessage(AudienceMessage* message) override {
        Touch();
        FakeAudience::ReleaseMessage(message);
        if (onRelease) onRelease();
    }
    void NotifyStateChanged() override {
        Touch();
        FakeAudience::NotifyStateChanged();
        if (onStateChange) onStateChange();
    }
    void Start() override {
        Touch();
        FakeAudience::Start();
    }
    void Stop() override {
        Touch();
        FakeAudience::Stop();
    }
    void Signal(int a, int b) override {
        Touch();
        FakeAudience::Signal(a, b);
        if (onSignal) onSignal();
    }

private:
    void Touch() { callsAfterRetired += retired; }
};

// Runs `call` on another thread and waits for it, as a host that hands the call to its user
// interface thread and blocks until that thread is done. False when it did not finish in time
// (the effect still held its lock).
bool OnOtherThreadAndWait(const std::function<void()>& call) {
    auto done = std::async(std::launch::async, call);
    return done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

class ChallengeHostCalls : public ::testing::Test {
protected:
    void SetUp() override { DropLibraryAudienceTracker(); }
    void TearDown() override { DropLibraryAudienceTracker(); }

    void Prepare(CChallengeGameImpl& game, IAudienceSource* source) {
        game.SetLanguageFile(kEnglish.c_str());
        game.SetAudienceSource(source);
        ASSERT_TRUE(game.Init(kW, kH, 0));
    }
    BOOL Frame(CChallengeGameImpl& game) {
        return game.ProcessFrame(frame.data(), 0, 4, 0, kW, kH, 0);
    }
    // ann and bob play; bob answers the question right on the next frame.
    void BobAnswers(CChallengeGameImpl& game, ReactingAudience& room) {
        room.Gift(1, u"ann", 1, 9);
        room.Gift(2, u"bob", 1, 8);
        Frame(game);
        game.SubmitQuestion(u"Which letter?");
        game.SetCorrectAnswer(u"b");
        game.StartAnswerScan();
        room.Chat(2, u"bob", u"b");
    }

    ScopedTestFontFace standIn{u"宋体"};
    MessageBoxRecorder boxes;
    std::vector<BYTE> frame = std::vector<BYTE>(std::size_t{kW} * kH * 4);
};

TEST_F(ChallengeHostCalls, AHostMayAskForTheRightAnswererWhileItIsSignalled) {
    ReactingAudience room;
    CChallengeGameImpl game;
    Prepare(game, &room);
    std::vector<std::u16string> sameThread, otherThread;
    bool finished = true;
    room.onSignal = [&] {
        sameThread.push_back(game.GetRightAnswererText());
        finished &=
            OnOtherThreadAndWait([&] { otherThread.push_back(game.GetRightAnswererText()); });
    };
    room.onStateChange = [&] { finished &= OnOtherThreadAndWait([&] { game.GetPlayerCount(); }); };
    BobAnswers(game, room);
    Frame(game);
    EXPECT_TRUE(finished);
    ASSERT_FALSE(sameThread.empty());
    EXPECT_EQ(sameThread.back(), u"bob(2)");
    EXPECT_EQ(otherThread.back(), u"bob(2)");
    room.onSignal = room.onStateChange = nullptr;
    DropLibraryAudienceTracker();
    EXPECT_TRUE(room.Balanced());
}

TEST_F(ChallengeHostCalls, ADestroyedEffectLeavesNothingPointingAtItsSource) {
    ReactingAudience first;
    {
        auto game = std::make_unique<CChallengeGameImpl>();
        Prepare(*game, &first);
        first.Gift(1, u"ann", 1, 1);
        Frame(*game);
    }
    EXPECT_TRUE(first.Balanced());
    first.retired = true; // its host frees it now

    // A second effect, set up in the contract's order: Init before its own source.
    ReactingAudience second;
    CChallengeGameImpl game;
    game.SetLanguageFile(kEnglish.c_str());
    ASSERT_TRUE(game.Init(kW, kH, 0));
    Frame(game);
    game.SubmitQuestion(u"Q");
    game.StartAnswerScan();
    game.NewRound();
    EXPECT_EQ(game.GetPlayerCount(), 0);
    game.SetAudienceSource(&second);
    Frame(game);
    EXPECT_EQ(first.callsAfterRetired, 0);
    DropLibraryAudienceTracker();
    EXPECT_TRUE(second.Balanced());
}

TEST_F(ChallengeHostCalls, TwoChallengeEffectsShowOneRoom) {
    ReactingAudience room;
    auto first = std::make_unique<CChallengeGameImpl>();
    CChallengeGameImpl second;
    Prepare(*first, &room);
    second.SetLanguageFile(kEnglish.c_str());
    ASSERT_TRUE(second.Init(kW, kH, 0));
    room.Gift(1, u"ann", 1, 9);
    Frame(second); // the second effect's frame seats ann in the one room
    EXPECT_EQ(first->GetPlayerCount(), 1);
    BobAnswers(*first, room);
    Frame(*first);
    EXPECT_EQ(first->GetRightAnswererText(), u"bob(2)");
    EXPECT_EQ(second.GetPlayerCount(), 2);

    // The effect that bound the room goes; the other stays and keeps drawing, without a room.
    first.reset();
    room.retired = true;
    EXPECT_EQ(second.GetPlayerCount(), 0);
    EXPECT_TRUE(Frame(second));
    EXPECT_EQ(room.callsAfterRetired, 0);
    room.retired = false;
    EXPECT_TRUE(room.Balanced());
}

// Rebinding or destroying an effect from inside the plug-in's own call into the host would wait
// for that very call (or free the effect under it): both are refused, and nothing hangs.
TEST_F(ChallengeHostCalls, NoRebindOrDestroyFromInsideItsOwnCall) {
    ReactingAudience room, other;
    auto game = std::make_unique<CChallengeGameImpl>();
    Prepare(*game, &room);
    int destroyed = -1;
    room.onSignal = [&] {
        destroyed = DestroyEffect(game.get());
        game->SetAudienceSource(&other);
    };
    BobAnswers(*game, room);
    ASSERT_TRUE(OnOtherThreadAndWait([&] { Frame(*game); })) << "the effect waited on itself";
    EXPECT_EQ(destroyed, 0);
    room.onSignal = nullptr;
    EXPECT_EQ(other.startCalls, 0); // the room still reads the first source
    room.Gift(3, u"cid", 1, 1);
    Frame(*game);
    EXPECT_EQ(game->GetPlayerCount(), 3);
    EXPECT_EQ(DestroyEffect(game.release()), 1); // outside its calls it goes as usual
    EXPECT_TRUE(room.Balanced());
}

TEST(FreeModeHostCalls, NoDestroyFromInsideItsOwnCall) {
    ReactingAudience room;
    auto game = std::make_unique<CFreeModeImpl>();
    game->SetAudienceSource(&room);
    ASSERT_TRUE(game->Init(kW, kH, 0));
    game->PresentQuestion(u"Capital of France?");
    int destroyed = -1;
    room.onRelease = [&] { destroyed = DestroyEffect(game.get()); };
    room.Chat(7, u"ann", u"Paris");
    std::vector<BYTE> frame(std::size_t{kW} * kH * 4);
    EXPECT_TRUE(game->ProcessFrame(frame.data(), 0, 4, 0, kW, kH, 0));
    EXPECT_EQ(destroyed, 0);
    room.onRelease = nullptr;
    EXPECT_EQ(DestroyEffect(game.release()), 1);
    EXPECT_TRUE(room.Balanced());
}

TEST(FreeModeHostCalls, AHostMayCallThePanelsOperationsFromItsCallbacks) {
    ReactingAudience room;
    CFreeModeImpl game;
    game.SetLanguageFile(kEnglish.c_str());
    game.SetAudienceSource(&room);
    ASSERT_TRUE(game.Init(kW, kH, 0));
    game.PresentQuestion(u"Capital of France?");
    game.SetRightAnswer(u"Paris");
    bool finished = true;
    room.onRelease = [&] {
        game.SetShowQuestionText(true);
        finished &= OnOtherThreadAndWait([&] { game.SetOverlayTextColor(0xFFFF0000); });
    };
    room.Chat(7, u"ann", u"Paris");
    room.Chat(8, u"bob", u"Lyon");
    std::vector<BYTE> frame(std::size_t{kW} * kH * 4);
    EXPECT_TRUE(game.ProcessFrame(frame.data(), 0, 4, 0, kW, kH, 0));
    EXPECT_TRUE(finished);
    EXPECT_EQ(game.View().scoreBoard.Find(7)->points, 1);
    room.onRelease = nullptr;
    EXPECT_TRUE(room.Balanced());
}

} // namespace
