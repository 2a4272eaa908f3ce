// The free-mode panel driven as a host drives it: clicks and option changes on named controls,
// as it works before a game is bound.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "game/challenge_game.h"
#include "game/free_mode.h"
#include "support/panel_harness.h"
#include "toolkit/UIlib.h"
#include "ui/free_mode_ui.h"

namespace {

const HWND kHostWindow = reinterpret_cast<HWND>(0x5150);

constexpr char kFiveQuestions[] = "[问题]\nQ1\n[答案]\nA1\n[问题]\nQ2\n[答案]\nA2\n"
                                  "[问题]\nQ3\n[答案]\nA3\n[问题]\nQ4\n[答案]\nA4\n"
                                  "[问题]\nQ5\n[答案]\nA5\n";
constexpr char kThreeQuestions[] = "[问题]\nQ1\n[答案]\nA1\n[问题]\nQ2\n[答案]\nA2\n"
                                   "[问题]\nQ3\n[答案]\nA3\n";

class FreePanelTest : public PanelTest<CFreeModeUI> {
protected:
    FreePanelTest() : PanelTest(kHostWindow) {}
    void LoadFiveQuestions() { Load(kFiveQuestions); }
};

TEST_F(FreePanelTest, StartsWithTheSampleBankShowingItsFirstQuestion) {
    StartAsHost();
    EXPECT_EQ(Text(u"EditNum"), u" 1");
    EXPECT_EQ(Text(u"LabMaxNum"), u"34");
    // The free panel trims spaces only: the question keeps the line feed after its marker.
    EXPECT_TRUE(Text(u"Question").starts_with(u"\n中国的首都是哪座城市？"));
    EXPECT_EQ(Text(u"RightAnswer"), u"B");
    EXPECT_TRUE(Control(u"BtnQuestions")
                    .GetToolTip()
                    .Str()
                    .ends_with(u"\\VideoGames\\AskGame\\Ti_Ku_Yang_Li.txt"));
    auto* question = dynamic_cast<DuiLib::CRichEditUI*>(&Control(u"Question"));
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->GetTextColor(), 0xFF585F63u);
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(FreePanelTest, NextAndBackStepWithinTheBankAndWriteTheNumberBack) {
    StartAsHost();
    LoadFiveQuestions();
    Type(u"EditNum", u" 3");
    Click(u"BtnNextQue");
    EXPECT_EQ(Text(u"Question"), u"\nQ4\n");
    EXPECT_EQ(Text(u"RightAnswer"), u"A4");
    EXPECT_EQ(Text(u"EditNum"), u" 4");

    Type(u"EditNum", u"3");
    Click(u"BtnBackQue");
    EXPECT_EQ(Text(u"Question"), u"\nQ2\n");
    EXPECT_EQ(Text(u"EditNum"), u" 2");

    // Past either end nothing changes, and nothing is said.
    Type(u"EditNum", u" 5");
    Click(u"BtnNextQue");
    EXPECT_EQ(Text(u"EditNum"), u" 5");
    EXPECT_EQ(Text(u"Question"), u"\nQ2\n");
    Type(u"EditNum", u" 1");
    Click(u"BtnBackQue");
    EXPECT_EQ(Text(u"EditNum"), u" 1");
    EXPECT_EQ(Text(u"Question"), u"\nQ2\n");
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(FreePanelTest, LettersInTheNumberCountAsZero) {
    StartAsHost();
    LoadFiveQuestions();
    Type(u"EditNum", u"abc");
    Click(u"BtnBackQue");
    EXPECT_EQ(Text(u"EditNum"), u"abc");
    Click(u"BtnGo");
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].owner, kHostWindow);
    EXPECT_EQ(boxes_.boxes[0].caption, u"Quiz Show");
    EXPECT_TRUE(boxes_.boxes[0].text.starts_with(u"That question number is not in the bank."));
    EXPECT_EQ(boxes_.boxes[0].type, MB_OK);

    Click(u"BtnNextQue");
    EXPECT_EQ(Text(u"Question"), u"\nQ1\n");
    EXPECT_EQ(Text(u"EditNum"), u" 1");
}

TEST_F(FreePanelTest, GoShowsTheTypedQuestionAndKeepsTheTypedNumber) {
    StartAsHost();
    LoadFiveQuestions();
    Type(u"EditNum", u"4th");
    Click(u"BtnGo");
    EXPECT_EQ(Text(u"Question"), u"\nQ4\n");
    EXPECT_EQ(Text(u"RightAnswer"), u"A4");
    EXPECT_EQ(Text(u"EditNum"), u"4th");
    EXPECT_TRUE(boxes_.boxes.empty());

    Type(u"EditNum", u"6");
    Click(u"BtnGo");
    EXPECT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(Text(u"Question"), u"\nQ4\n");
}

TEST_F(FreePanelTest, LoadingABankShowsItsSizeOrSaysWhyNot) {
    StartAsHost();
    Load(std::string("Notes before the questions\n") + kThreeQuestions);
    EXPECT_EQ(panel_->GetQuestionBank().count(), 3);
    EXPECT_EQ(Text(u"LabMaxNum"), u"03");
    EXPECT_EQ(Text(u"Question"), u"\nQ1\n");
    EXPECT_EQ(Text(u"RightAnswer"), u"A1");

    // A file that cannot be opened empties the bank and resets the number, silently; the texts
    // shown stay.
    Type(u"EditNum", u" 2");
    panel_->LoadQuestionBank(files_.Missing().c_str());
    EXPECT_EQ(panel_->GetQuestionBank().count(), 0);
    EXPECT_EQ(Text(u"EditNum"), u" 1");
    EXPECT_EQ(Text(u"Question"), u"\nQ1\n");
    EXPECT_TRUE(boxes_.boxes.empty());

    Load("a file without any question marker");
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_TRUE(boxes_.boxes[0].text.starts_with(u"No questions found in this file."));
    EXPECT_EQ(boxes_.boxes[0].owner, kHostWindow);
    EXPECT_EQ(panel_->GetQuestionBank().count(), 0);
}

TEST_F(FreePanelTest, ReadsBanksInTheSystemCodePage) {
    StartAsHost();
    const ScopedEnv gbk("ASKGAME_ACP", "936");
    // "[问题]你好[答案]是" in GBK, CR LF line ends.
    Load("[\xCE\xCA\xCC\xE2]\r\n\xC4\xE3\xBA\xC3\r\n[\xB4\xF0\xB0\xB8]\r\n\xCA\xC7\r\n");
    EXPECT_EQ(Text(u"Question"), u"\n你好\n");
    EXPECT_EQ(Text(u"RightAnswer"), u"是");
    EXPECT_EQ(Text(u"LabMaxNum"), u"01");
}

TEST_F(FreePanelTest, TheBankButtonLoadsTheChosenFile) {
    StartAsHost();
    const std::u16string chosen = files_.Write("chosen.txt", kFiveQuestions);
    {
        const OpenFileAnswer cancel(std::nullopt);
        Click(u"BtnQuestions");
        ASSERT_EQ(cancel.calls, 1);
        EXPECT_EQ(Text(u"LabMaxNum"), u"34"); // nothing loaded
        const OpenFileRequest& request = *cancel.lastRequest;
        EXPECT_EQ(request.owner, kHostWindow);
        ASSERT_EQ(request.filters.size(), 1u);
        EXPECT_EQ(request.filters[0].displayText, u"Text Files (*.txt;)");
        EXPECT_EQ(request.filters[0].pattern, u"*.txt");
        EXPECT_EQ(request.filterIndex, 1u);
        EXPECT_EQ(request.flags, 0x00081800u);
    }
    const OpenFileAnswer choose(chosen);
    Control(u"BtnQuestions").SendNotify(u"dbclick");
    EXPECT_EQ(choose.calls, 0);
    Click(u"BtnQuestions");
    EXPECT_EQ(Text(u"LabMaxNum"), u"05");
    EXPECT_EQ(Control(u"BtnQuestions").GetToolTip().Str(), chosen);
    EXPECT_EQ(panel_->GetQuestionBankPath(), chosen);
}

TEST_F(FreePanelTest, ASkinWithoutAButtonStillWiresTheRest) {
    DuiLib::CControlUI& next = Control(u"BtnNextQue");
    ASSERT_TRUE(dynamic_cast<DuiLib::CContainerUI*>(next.GetParent())->Remove(&next));
    StartAsHost();
    LoadFiveQuestions();
    Type(u"EditNum", u"2");
    Click(u"BtnBackQue");
    EXPECT_EQ(Text(u"EditNum"), u" 1");
    Click(u"BtnGo");
    EXPECT_EQ(Text(u"Question"), u"\nQ1\n");
}

} // namespace

namespace {

// The same panel with the free-mode game behind it.
class FreePanelWithGameTest : public FreePanelTest {
protected:
    FreeModeView Game() const { return game_.View(); }

    CFreeModeImpl game_;
};

TEST_F(FreePanelWithGameTest, SendsTheQuestionAndAnswerAsTheyStandInThePanel) {
    StartAsHost(&game_);
    LoadFiveQuestions();
    Type(u"RightAnswer", u"A1 as typed");
    Click(u"ButtonShowQue");
    EXPECT_EQ(Game().questionSprite.text, u"\nQ1\n");
    EXPECT_TRUE(Game().questionSprite.visible);
    EXPECT_EQ(Game().rightAnswer, u"A1 as typed");

    // Stepping to the next question hides the old one until the presenter sends the new one.
    Click(u"BtnNextQue");
    EXPECT_FALSE(Game().questionSprite.visible);
    Click(u"ButtonShowQue");
    EXPECT_EQ(Game().questionSprite.text, u"\nQ2\n");
    EXPECT_TRUE(Game().questionSprite.visible);
    EXPECT_EQ(Game().rightAnswer, u"A2");

    // Choosing another bank hides it too.
    const OpenFileAnswer choose(files_.Write("other.txt", kThreeQuestions));
    Click(u"BtnQuestions");
    EXPECT_FALSE(Game().questionSprite.visible);
    EXPECT_EQ(Text(u"LabMaxNum"), u"03");
}

TEST_F(FreePanelWithGameTest, TheColourButtonStepsThroughFourColoursFromTheFirst) {
    // Presses before a game is bound change nothing: the cycle still starts at its first colour.
    EXPECT_EQ(panel_->BindControls(), 1);
    Click(u"BtnTextColor");
    EXPECT_EQ(panel_->InitPanel(0, 0, &game_, u"", u"", LCID_ENGLISH_US), 1);

    std::vector<std::uint32_t> sent;
    for (int press = 0; press < 5; ++press) {
        Click(u"BtnTextColor");
        sent.push_back(Game().promptSprite.textColor);
    }
    EXPECT_EQ(sent, (std::vector<std::uint32_t>{0x9FFFCB71, 0x9F1995E4, 0x9FEF2978, 0xFFFFFFFF,
                                                0x9FFFCB71}));
}

TEST_F(FreePanelWithGameTest, AnotherGamesEffectIsTreatedAsNoGame) {
    CChallengeGameImpl challenge;
    EXPECT_EQ(panel_->InitPanel(0, 0, &challenge, u"", u"", LCID_ENGLISH_US), 1);
    EXPECT_EQ(panel_->BindControls(), 1);
    Click(u"ButtonShowQue");
    Click(u"BtnTextColor");
    Click(u"BtnNextQue");
    EXPECT_EQ(Text(u"EditNum"), u" 2"); // the panel's own work goes on
    EXPECT_EQ(challenge.GetPlayerCount(), 0);
}

} // namespace
