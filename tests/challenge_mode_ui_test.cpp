// The challenge panel driven as a host drives it: clicks on named controls and the host's
// "GameNotify", as it works before a game is bound.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "game/challenge_game.h"
#include "game/free_mode.h"
#include "platform/debug.h"
#include "support/fake_audience.h"
#include "support/panel_harness.h"
#include "toolkit/UIlib.h"
#include "ui/challenge_mode_ui.h"

namespace {

const HWND kHostWindow = reinterpret_cast<HWND>(0x7070);

constexpr char kThreeQuestions[] = "[问题]\nQ1\n\n[答案]\nA1\n[问题]\nQ2\n[答案]\nA2\n"
                                   "[问题]\nQ3\n[答案]\nA3\n";

class ChallengePanelTest : public PanelTest<CChallengeModeUI> {
protected:
    ChallengePanelTest() : PanelTest(kHostWindow) {}
};

TEST_F(ChallengePanelTest, InitialisationLoadsTheSampleBankBeforeAnyWiring) {
    Control(u"RightAnswerer").SetText(u"someone");
    EXPECT_EQ(panel_->InitPanel(0, 0, nullptr, u"", u"", LCID_ENGLISH_US), 1);
    EXPECT_EQ(Text(u"LabMaxNum"), u"34");
    EXPECT_EQ(Text(u"EditNum"), u" 1");
    // The challenge panel trims line ends: the question starts with its text.
    EXPECT_TRUE(Text(u"ChallengeQue").starts_with(u"中国的首都是哪座城市？\nA. 上海"));
    EXPECT_EQ(Text(u"ChallengeAnswer"), u"B");
    EXPECT_EQ(Text(u"RightAnswerer"), u"");
}

TEST_F(ChallengePanelTest, SteppingForgetsTheRightAnswererAndStaysInTheBank) {
    StartAsHost();
    Load(kThreeQuestions);
    EXPECT_EQ(Text(u"ChallengeQue"), u"Q1"); // the blank line before the answer marker is gone

    Control(u"RightAnswerer").SetText(u"Alice");
    Click(u"BtnNextQue");
    EXPECT_EQ(Text(u"ChallengeQue"), u"Q2");
    EXPECT_EQ(Text(u"ChallengeAnswer"), u"A2");
    EXPECT_EQ(Text(u"EditNum"), u" 2");
    EXPECT_EQ(Text(u"RightAnswerer"), u"");

    Type(u"EditNum", u"5");
    Control(u"RightAnswerer").SetText(u"Bob");
    Click(u"BtnBackQue");
    EXPECT_EQ(Text(u"EditNum"), u"5");
    EXPECT_EQ(Text(u"RightAnswerer"), u"Bob");
    Click(u"BtnGo");
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_TRUE(boxes_.boxes[0].text.starts_with(u"That question number is not in the bank."));

    Type(u"EditNum", u"x");
    Click(u"BtnNextQue");
    EXPECT_EQ(Text(u"ChallengeQue"), u"Q1");
    EXPECT_EQ(Text(u"EditNum"), u" 1");
}

TEST_F(ChallengePanelTest, ABankOfOneCannotBeSteppedThrough) {
    StartAsHost();
    Load("[问题]only[答案]one");
    Click(u"BtnNextQue");
    Click(u"BtnBackQue");
    EXPECT_EQ(Text(u"EditNum"), u" 1");
    EXPECT_EQ(Text(u"LabMaxNum"), u"01");
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(ChallengePanelTest, PushingWithoutPlayersAsksForThem) {
    StartAsHost();
    const TraceRecorder traces;
    Click(u"ButtonShowChallengQue");
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_TRUE(boxes_.boxes[0].text.starts_with(u"No players yet."));
    EXPECT_EQ(boxes_.boxes[0].owner, kHostWindow);
    EXPECT_EQ(traces.ansi, (std::vector<std::string>{"\xBF\xAA\xCA\xBC", "Click"}));
    EXPECT_TRUE(traces.wide.empty());
}

TEST_F(ChallengePanelTest, WithoutAGameTheRightAnswererStaysAsItIs) {
    StartAsHost();
    Control(u"RightAnswerer").SetText(u"kept");
    panel_->SendNotify(kGameNotify);
    EXPECT_EQ(Text(u"RightAnswerer"), u"kept");
    Click(u"BtnNewRound");
    EXPECT_EQ(Text(u"RightAnswerer"), u"");
}

} // namespace

namespace {

constexpr int kFrameWidth = 320;
constexpr int kFrameHeight = 240;

// The same panel with the challenge game and a live room behind it.
class ChallengePanelWithGameTest : public ChallengePanelTest {
protected:
    ChallengePanelWithGameTest() : frame_(std::size_t{kFrameWidth} * kFrameHeight * 4) {
        game_.SetAudienceSource(&room_);
        game_.Init(kFrameWidth, kFrameHeight, 0);
        StartAsHost(&game_);
    }
    ~ChallengePanelWithGameTest() override { game_.SetAudienceSource(nullptr); }

    void NextFrame() { game_.ProcessFrame(frame_.data(), 0, 4, 0, kFrameWidth, kFrameHeight, 0); }

    FakeAudience room_;
    CChallengeGameImpl game_;
    std::vector<BYTE> frame_;
};

TEST_F(ChallengePanelWithGameTest, APushedQuestionIsAnsweredAndTheRightAnswererShown) {
    Load(kThreeQuestions);
    room_.Gift(7, u"Alice", 1, 10);
    NextFrame();
    ASSERT_GT(game_.GetPlayerCount(), 0);

    const TraceRecorder traces;
    Click(u"ButtonShowChallengQue");
    EXPECT_TRUE(boxes_.boxes.empty());
    // The panel's traces come first; the game adds its own after them.
    ASSERT_GE(traces.ansi.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(traces.ansi.begin(), traces.ansi.begin() + 3),
              (std::vector<std::string>{"\xBF\xAA\xCA\xBC", "Click", "Gift"}));
    ASSERT_GE(traces.wide.size(), 2u);
    EXPECT_EQ(traces.wide[0], u"Q1");
    EXPECT_EQ(traces.wide[1], u"A1");

    room_.Chat(7, u"Alice", u"A1");
    NextFrame();
    panel_->SendNotify(kGameNotify); // the host passes on the game's signal
    EXPECT_EQ(Text(u"RightAnswerer"), game_.GetRightAnswererText());
    EXPECT_NE(Text(u"RightAnswerer"), u"");

    // A new round forgets the right answerer in the panel and in the game.
    Click(u"BtnNewRound");
    EXPECT_EQ(Text(u"RightAnswerer"), u"");
}

TEST_F(ChallengePanelWithGameTest, AQuestionRefusedByTheRoundLimitChangesNothing) {
    Load(kThreeQuestions);
    room_.Gift(7, u"Alice", 1, 10);
    NextFrame();
    for (int i = 0; i < CChallengeGameImpl::kQuestionsPerRound; ++i)
        Click(u"ButtonShowChallengQue"); // Q1, answer A1, twenty times
    Click(u"BtnNextQue");
    Click(u"ButtonShowChallengQue"); // Q2 is refused
    ASSERT_EQ(boxes_.boxes.size(), 1u);

    room_.Chat(7, u"Alice", u"A2"); // the answer of the question nobody sees
    NextFrame();
    EXPECT_EQ(game_.GetRightAnswererText(), u"");
    room_.Chat(7, u"Alice", u"A1"); // the shown question still takes its own
    NextFrame();
    EXPECT_EQ(game_.GetRightAnswererText(), u"Alice(7)");
}

TEST_F(ChallengePanelWithGameTest, AFreeModeEffectIsTreatedAsNoGame) {
    CFreeModeImpl freeGame;
    EXPECT_EQ(panel_->InitPanel(0, 0, &freeGame, u"", u"", LCID_ENGLISH_US), 1);
    room_.Gift(7, u"Alice", 1, 10);
    NextFrame();
    Click(u"ButtonShowChallengQue");
    ASSERT_EQ(boxes_.boxes.size(), 1u); // nobody to ask without this game
    EXPECT_TRUE(boxes_.boxes[0].text.starts_with(u"No players yet."));
}

} // namespace
