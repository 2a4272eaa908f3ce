// A long question is rendered with no lock of the effect held: while the presenter's thread
// renders it, the video thread keeps drawing frames, and they show the previous question whole.
// The render is held at a latch inside the effect, so nothing here depends on timing: a frame
// that waited for the render would keep the latch shut until it gave up.
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/audience_tracker.h"
#include "game/challenge_game.h"
#include "game/free_mode.h"
#include "platform/file.h"
#include "platform/font_testing.h"
#include "render/text_sprite.h"
#include "support/fake_audience.h"
#include "support/panel_harness.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr auto kPatience = std::chrono::seconds(10); // only a broken build waits this long
const std::u16string kEnglish =
    FromNativePath(ASKGAME_SOURCE_DIR "/data/VideoGames/AskGame/English.xml");

// Holds the next render made to one side until released, and says whether the release came
// while the render was still held.
template <class Effect>
class HeldRender : public Effect {
public:
    // Called before the rendering thread starts.
    void HoldNext() {
        held_ = {};
        release_ = {};
        heldFuture_ = held_.get_future();
        releaseFuture_ = release_.get_future();
        releasedWhileHeld = false;
        armed_ = true;
    }
    bool WaitUntilHeld() { return heldFuture_.wait_for(kPatience) == std::future_status::ready; }
    void Release() { release_.set_value(); }
    bool releasedWhileHeld = false;

protected:
    bool RenderAside(CSpriteTextShowBase& draft) override {
        if (armed_) {
            armed_ = false;
            held_.set_value();
            releasedWhileHeld = releaseFuture_.wait_for(kPatience) == std::future_status::ready;
        }
        return Effect::RenderAside(draft);
    }

private:
    bool armed_ = false;
    std::promise<void> held_, release_;
    std::future<void> heldFuture_, releaseFuture_;
};

std::u16string LongQuestion() {
    std::u16string text;
    while (text.size() < 2000)
        text += u"Which of these cities lies farthest north? ";
    return text;
}

class QuestionRenderedAside : public ::testing::Test {
protected:
    void SetUp() override { DropLibraryAudienceTracker(); }
    void TearDown() override { DropLibraryAudienceTracker(); }

    template <class Effect>
    std::vector<BYTE> Frame(Effect& game) {
        std::vector<BYTE> frame(std::size_t{kW} * kH * 4);
        EXPECT_TRUE(game.ProcessFrame(frame.data(), 0, 4, 0, kW, kH, 0));
        return frame;
    }
    // Submits the long question on the presenter's thread, draws a frame while its render is
    // held, and answers that frame; `before` is the frame drawn before the submit.
    template <class Effect, class Submit>
    std::vector<BYTE> FrameDuringSubmit(HeldRender<Effect>& game, Submit submit) {
        game.HoldNext();
        auto presenter = std::async(std::launch::async, submit);
        EXPECT_TRUE(game.WaitUntilHeld());
        std::vector<BYTE> during = Frame(game);
        game.Release();
        presenter.get();
        EXPECT_TRUE(game.releasedWhileHeld) << "the frame waited for the render";
        return during;
    }

    ScopedTestFontFace standIn{u"宋体"};
    MessageBoxRecorder boxes;
    FakeAudience room;
};

TEST_F(QuestionRenderedAside, ChallengeFramesShowThePreviousQuestionWhileTheNextRenders) {
    HeldRender<CChallengeGameImpl> game;
    game.SetLanguageFile(kEnglish.c_str());
    game.SetAudienceSource(&room);
    ASSERT_TRUE(game.Init(kW, kH, 0));
    ASSERT_TRUE(game.SubmitQuestion(u"Which letter?"));
    const std::vector<BYTE> before = Frame(game);

    const std::vector<BYTE> during =
        FrameDuringSubmit(game, [&] { EXPECT_TRUE(game.SubmitQuestion(LongQuestion().c_str())); });
    EXPECT_EQ(during, before);
    EXPECT_NE(Frame(game), before); // the long question is in once its submit returns

    // A new colour re-renders the long question to one side as well.
    const std::vector<BYTE> longShown = Frame(game);
    const std::vector<BYTE> recolouring =
        FrameDuringSubmit(game, [&] { game.SetQuestionColour(0xFFFF0000); });
    EXPECT_EQ(recolouring, longShown);
    EXPECT_NE(Frame(game), longShown);
    DropLibraryAudienceTracker();
    EXPECT_TRUE(room.Balanced());
}

TEST_F(QuestionRenderedAside, FreeModeFramesShowThePreviousQuestionWhileTheNextRenders) {
    HeldRender<CFreeModeImpl> game;
    game.SetLanguageFile(kEnglish.c_str());
    game.SetAudienceSource(&room);
    ASSERT_TRUE(game.Init(kW, kH, 0));
    game.SetShowQuestionText(true);
    game.PresentQuestion(u"Capital of France?");
    const std::vector<BYTE> before = Frame(game);

    const std::vector<BYTE> during =
        FrameDuringSubmit(game, [&] { game.PresentQuestion(LongQuestion().c_str()); });
    EXPECT_EQ(during, before);
    EXPECT_NE(Frame(game), before);
    EXPECT_EQ(game.View().questionSprite.text, LongQuestion());
    EXPECT_TRUE(room.Balanced());
}

// A relayout that lands while the question renders is not undone by the older render: the
// question shown is laid out for the new frame size.
TEST_F(QuestionRenderedAside, ARelayoutDuringTheRenderIsKept) {
    HeldRender<CChallengeGameImpl> reference, game;
    for (CChallengeGameImpl* g : {&reference, &game}) {
        g->SetLanguageFile(kEnglish.c_str());
        ASSERT_TRUE(g->Init(kW, kH, 0));
    }
    constexpr int kNarrow = 320;
    game.HoldNext();
    auto presenter =
        std::async(std::launch::async, [&] { return game.SubmitQuestion(LongQuestion().c_str()); });
    ASSERT_TRUE(game.WaitUntilHeld());
    ASSERT_TRUE(game.Init(kNarrow, kH, 0));
    game.Release();
    EXPECT_TRUE(presenter.get());

    ASSERT_TRUE(reference.Init(kNarrow, kH, 0));
    ASSERT_TRUE(reference.SubmitQuestion(LongQuestion().c_str()));
    std::vector<BYTE> drawn(std::size_t{kNarrow} * kH * 4), expected(drawn.size());
    game.ProcessFrame(drawn.data(), 0, 4, 0, kNarrow, kH, 0);
    reference.ProcessFrame(expected.data(), 0, 4, 0, kNarrow, kH, 0);
    EXPECT_EQ(drawn, expected);
}

} // namespace
