// The free-mode game as a host and a presenter see it: viewers' chat goes in through the audience
// source, scores and lines come out, drawn with the real font on 640 × 480 frames.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "askgame/effect_ids.h"
#include "game/free_mode.h"
#include "support/fake_audience.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr BYTE kGrey = 0x80;
constexpr char16_t kEnglish[] = u"" ASKGAME_SOURCE_DIR "/data/VideoGames/AskGame/English.xml";

class FreeMode : public ::testing::Test {
protected:
    void SetUp() override {
        game.SetLanguageFile(kEnglish);
        game.SetAudienceSource(&audience);
        ASSERT_TRUE(game.Init(kWidth, kHeight, 0));
    }
    void Ask(LPCWSTR answer, LPCWSTR question = u"What is the capital of France?") {
        game.PresentQuestion(question);
        game.SetRightAnswer(answer);
    }
    BOOL Frame() {
        std::fill(frame.begin(), frame.end(), kGrey);
        return game.ProcessFrame(frame.data(), 0, 4, 0, kWidth, kHeight, 0);
    }
    int Points(std::uint32_t id) const {
        const PlayerEntry* entry = game.View().scoreBoard.Find(id);
        return entry ? entry->points : -1;
    }
    const std::u16string& Congrats() const { return game.View().congratsSprite.text; }
    const CSpriteTextShowBase& ScoreLine(int rank) const { return game.View().scoreLines[rank]; }
    // Whether anything was drawn on the pixel at (x, y), y counted from the picture's top.
    bool Drawn(int x, int y) const {
        const BYTE* p = &frame[(static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x) * 4];
        return p[0] != kGrey || p[1] != kGrey || p[2] != kGrey;
    }
    bool FrameUntouched() const {
        return std::all_of(frame.begin(), frame.end(), [](BYTE b) { return b == kGrey; });
    }

    FakeAudience audience; // outlives the game
    CFreeModeImpl game;
    std::vector<BYTE> frame = std::vector<BYTE>(std::size_t{kWidth} * kHeight * 4, kGrey);
};

// Whether every text pixel of the sprite has this colour (blue, green, red in memory order).
bool TextIs(const CQvSpriteRGBA& sprite, BYTE blue, BYTE green, BYTE red) {
    int seen = 0;
    for (long long i = 0; i < static_cast<long long>(sprite.width) * sprite.height; ++i) {
        const BYTE* p = &sprite.pixels[static_cast<std::size_t>(i) * 4];
        if (p[3] == 0) continue;
        if (p[0] != blue || p[1] != green || p[2] != red) return false;
        ++seen;
    }
    return seen > 0;
}

TEST_F(FreeMode, AChoiceQuestionGivesEveryViewerOneAttempt) {
    Ask(u"B");
    EXPECT_EQ(game.View().rightAnswer, u"b");
    EXPECT_EQ(game.View().answerSprite.text, u"Correct answer: B"); // as the presenter typed it

    audience.Chat(1, u"Ann", u"b");
    audience.Chat(2, u"Bob", u"B");
    audience.Chat(3, u"Cid", u"A");
    audience.Chat(3, u"Cid", u"B");
    audience.Chat(4, u"Dee", u"I think B"); // not a choice: the attempt is still there
    audience.Chat(4, u"Dee", u"B");
    Frame();
    EXPECT_EQ(Points(1), 1);
    EXPECT_EQ(Points(2), 1);
    EXPECT_EQ(Points(3), -1);
    EXPECT_EQ(Points(4), 1);

    // A new question hands out new attempts.
    Ask(u"B");
    audience.Chat(3, u"Cid", u"b");
    Frame();
    EXPECT_EQ(Points(3), 1);
}

TEST_F(FreeMode, AnswersOtherThanOneChoiceCharacterAllowAnyNumberOfAttempts) {
    for (LPCWSTR answer : {u"7", u"AB"}) {
        Ask(answer);
        EXPECT_FALSE(game.View().choiceAnswer);
        EXPECT_EQ(game.View().rightAnswer, answer);
        audience.Chat(1, u"Ann", u"1");
        audience.Chat(1, u"Ann", u"A");
        audience.Chat(1, u"Ann", u"ab");
        audience.Chat(1, u"Ann", answer);
        Frame();
    }
    EXPECT_EQ(Points(1), 2);
}

TEST_F(FreeMode, WordAnswersAreCaseSensitiveAndEveryRepeatScores) {
    Ask(u"Paris");
    audience.Chat(1, u"Ann", u"paris");
    Frame();
    EXPECT_EQ(Points(1), -1);
    EXPECT_FALSE(game.View().congratsSprite.IsVisible());

    for (std::u16string total : {u"1", u"2", u"3"}) {
        audience.Chat(1, u"Ann", u"Paris");
        Frame();
        EXPECT_EQ(Congrats(), u"Well done!  Ann(1) Total: " + total + u" ");
    }
}

TEST_F(FreeMode, TheCongratulationAndScoreLinesNameTheViewer) {
    Ask(u"Paris");
    audience.Chat(1234, u"Alice", u"Paris");
    Frame();
    EXPECT_EQ(Congrats(), u"Well done!  Alice(1234) Total: 1 ");
    EXPECT_EQ(ScoreLine(0).text, u"1st   1 Alice");

    audience.Chat(0xFFFFFFFF, u"Max", u"Paris"); // ids are unsigned, as the host sends them
    Frame();
    EXPECT_EQ(Congrats(), u"Well done!  Max(4294967295) Total: 1 ");
    EXPECT_EQ(ScoreLine(1).text, u"2nd   1 Max");
}

TEST_F(FreeMode, EqualPointsKeepTheViewerWhoGotThereFirstAhead) {
    Ask(u"Paris");
    audience.Chat(1, u"X", u"Paris");
    audience.Chat(2, u"Y", u"Paris");
    audience.Chat(1, u"X", u"Paris");
    Frame();
    audience.Chat(2, u"Y", u"Paris");
    Frame();
    EXPECT_EQ(ScoreLine(0).text, u"1st   2 X");
    EXPECT_EQ(ScoreLine(1).text, u"2nd   2 Y");
    EXPECT_TRUE(ScoreLine(1).IsVisible());
    EXPECT_FALSE(ScoreLine(2).IsVisible());
}

TEST_F(FreeMode, ManyRightAnswersInOneFrameRenderTheLinesOnceForTheFinalBoard) {
    Ask(u"Paris");
    audience.Chat(1, u"Ann", u"Paris");
    Frame();
    const auto before = game.View().textRenders;
    for (std::uint32_t id = 100; id < 150; ++id)
        audience.Chat(id, id == 120 ? u"Top" : u"Fan", u"Paris");
    audience.Chat(120, u"Top", u"Paris");
    Frame();
    // The congratulation and at most the three score lines, whatever the number of answers.
    EXPECT_LE(game.View().textRenders - before, 4u);
    EXPECT_EQ(Congrats(), u"Well done!  Top(120) Total: 2 ");
    EXPECT_EQ(ScoreLine(0).text, u"1st   2 Top");
    EXPECT_EQ(ScoreLine(1).text, u"2nd   1 Ann");
    EXPECT_EQ(ScoreLine(2).text, u"3rd   1 Fan");
}

TEST_F(FreeMode, OnlyTheTwoAnswerKindsAreCheckedAndEveryMessageIsReleased) {
    Ask(u"Paris");
    audience.Gift(1, u"Giver", 1, 100);
    audience.Chat(2, u"Bob", u"Paris", AudienceKind::ChallengeText);
    audience.Chat(3, u"Cid", u"Paris", 0x12345678);
    audience.Chat(4, u"Dee", u"Paris", AudienceKind::FreeText);
    Frame();
    EXPECT_EQ(Points(1), -1);
    EXPECT_EQ(Points(2), -1);
    EXPECT_EQ(Points(3), -1);
    EXPECT_EQ(Points(4), 1);
    EXPECT_EQ(audience.Waiting(), 0u);
    EXPECT_TRUE(audience.Balanced());
}

TEST_F(FreeMode, NothingIsTakenOrDrawnWhileNoQuestionIsOpen) {
    audience.Chat(1, u"Ann", u"Paris");
    EXPECT_TRUE(Frame());
    EXPECT_EQ(audience.Waiting(), 1u);
    EXPECT_TRUE(FrameUntouched());

    Ask(u"Paris");
    Frame();
    EXPECT_EQ(Points(1), 1);

    game.SetQuestionVisible(false);
    EXPECT_EQ(audience.stopCalls, 1);
    audience.Chat(1, u"Ann", u"Paris");
    EXPECT_TRUE(Frame());
    EXPECT_EQ(audience.Waiting(), 1u);
    EXPECT_TRUE(FrameUntouched());
}

TEST_F(FreeMode, TheFrameShowsPromptQuestionThenScoresAnswerAndCongratulation) {
    // Places at 640 × 480: prompt rows 0..29 centred, question rows 36..71 centred, heading
    // band from (5, 5), banner rows 422..448 and congratulation rows 453..479, both centred.
    Ask(u"Paris");
    Frame();
    EXPECT_TRUE(Drawn(320, 15));
    EXPECT_FALSE(Drawn(320, 50));
    game.SetShowQuestionText(true);
    Frame();
    EXPECT_TRUE(Drawn(320, 50));
    EXPECT_FALSE(Drawn(10, 15)); // no heading yet

    audience.Chat(1234, u"Alice", u"Paris");
    Frame();
    EXPECT_FALSE(Drawn(320, 15)); // the score list replaces prompt and question
    EXPECT_FALSE(Drawn(320, 50));
    EXPECT_TRUE(Drawn(10, 15));
    EXPECT_TRUE(Drawn(320, 435));
    EXPECT_TRUE(Drawn(320, 470));

    // A new question keeps the score list; its banner waits for the next right answer.
    Ask(u"Rome", u"And of Italy?");
    Frame();
    EXPECT_TRUE(Drawn(10, 15));
    EXPECT_FALSE(Drawn(320, 15));
    EXPECT_FALSE(Drawn(320, 435));
    EXPECT_EQ(Points(1234), 1);
}

TEST_F(FreeMode, ANewColourRerendersTheFourLinesAndLeavesTheScoreListWhite) {
    Ask(u"Paris");
    audience.Chat(1, u"Ann", u"Paris");
    Frame();
    const auto before = game.View().textRenders;
    game.SetOverlayTextColor(0x9F1995E4);
    EXPECT_EQ(game.View().textRenders - before, 4u);
    const FreeModeView view = game.View();
    for (const CQvSpriteRGBA* sprite :
         {&view.questionSprite, &view.answerSprite, &view.congratsSprite, &view.promptSprite})
        EXPECT_TRUE(TextIs(*sprite, 0xE4, 0x95, 0x19));
    EXPECT_TRUE(TextIs(view.scoreTitle, 0xFF, 0xFF, 0xFF));
    EXPECT_TRUE(TextIs(view.scoreLines[0], 0xFF, 0xFF, 0xFF));
}

TEST_F(FreeMode, MessageRecordsAreReadDefensivelyAndLongLinesAreKeptWhole) {
    const std::u16string longAnswer(1000, u'x');
    Ask(longAnswer.c_str());
    EXPECT_EQ(game.View().answerSprite.text.size(),
              std::u16string(u"Correct answer: ").size() + 1000);

    AudienceMessage& unterminated = audience.Chat(1, u"", longAnswer);
    std::fill_n(unterminated.senderName, AudienceMessage::kSenderNameUnits, u'N');
    audience.Chat(2, u"Nobody", u"").text = nullptr;
    Frame();
    const std::u16string fullName(AudienceMessage::kSenderNameUnits, u'N');
    ASSERT_EQ(Points(1), 1);
    EXPECT_EQ(std::u16string_view(game.View().scoreBoard.Find(1)->senderName), fullName);
    EXPECT_EQ(Congrats(), u"Well done!  " + fullName + u"(1) Total: 1 ");
    EXPECT_EQ(Points(2), -1);
    EXPECT_TRUE(audience.Balanced());
}

TEST_F(FreeMode, HostCallsOutsideTheContractChangeNothing) {
    EXPECT_EQ(*game.GetEffectId(), CLSID_FreeModeGame);
    Ask(u"Paris");
    audience.Chat(1, u"Ann", u"Paris");
    EXPECT_FALSE(game.ProcessFrame(frame.data(), 0, 3, 0, kWidth, kHeight, 0));
    EXPECT_TRUE(FrameUntouched());
    EXPECT_EQ(audience.Waiting(), 1u);

    EXPECT_FALSE(game.Init(0, kHeight, 0));
    EXPECT_FALSE(game.Init(kWidth, 0, 0));
    EXPECT_FALSE(game.Init(70000, kHeight, 0));
    EXPECT_FALSE(game.Init(-640, kHeight, 0));
    EXPECT_EQ(game.View().promptSprite.frameWidth, kWidth);
    EXPECT_TRUE(game.View().questionSprite.IsVisible());
    Frame();
    EXPECT_EQ(Points(1), 1);
}

TEST_F(FreeMode, PanelCallsMayOverlapFrames) {
    Ask(u"Paris");
    for (std::uint32_t id = 0; id < 300; ++id)
        audience.Chat(id, u"V", id % 3 ? u"Paris" : u"Rome");
    std::atomic<bool> done = false;
    std::thread panel([&] {
        for (int i = 0; i < 20; ++i) {
            game.SetOverlayTextColor(i % 2 ? 0xFFFF0000 : 0xFF00FF00);
            game.PresentQuestion(i % 2 ? u"Short?" : u"A somewhat longer question to wrap?");
            game.SetRightAnswer(u"Paris");
        }
        done = true;
    });
    std::vector<BYTE> own(frame.size());
    while (!done)
        game.ProcessFrame(own.data(), 0, 4, 0, kWidth, kHeight, 0);
    panel.join();
    Frame();
    EXPECT_EQ(audience.Waiting(), 0u);
    EXPECT_TRUE(audience.Balanced());
}

// A question written over several lines is drawn as its lines, one under the other: each line
// band of the question's sprite holds text, and nothing lies between them.
TEST_F(FreeMode, AQuestionOverSeveralLinesIsDrawnLineByLine) {
    game.SetShowQuestionText(true);
    Ask(u"B", u"How many legs does a spider have?\nA. 6\nB. 8\nC. 10");
    Frame();
    const CSpriteTextShow& question = game.View().questionSprite;
    constexpr int kLineStep = 24 / 2 + 24;
    ASSERT_EQ(question.height, 4 * kLineStep);
    EXPECT_LT(question.width, kWidth) << "lines that fit need no frame-wide box";
    for (int line = 0; line < 4; ++line) {
        int bright = 0;
        for (int y = question.y + line * kLineStep; y < question.y + (line + 1) * kLineStep; ++y)
            for (int x = question.x; x < question.x + question.width; ++x)
                bright +=
                    frame[(static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x) * 4] > 0xC0;
        EXPECT_GT(bright, 20) << "line " << line << " holds no text";
    }
}

} // namespace
