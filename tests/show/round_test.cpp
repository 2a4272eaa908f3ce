// A question as a live show plays it: answers matched as chat sends them, the clock that closes
// the question, and the reveal kept back until it closes.
#include <vector>

#include <gtest/gtest.h>

#include "show/answer_match.h"
#include "show/round.h"
#include "show/round_overlay.h"

namespace {

using show::AnswerMatcher;
using show::MatchRule;
using show::Round;
using show::RoundAnswer;

TEST(AnswerMatch, LenientForgivesWhatChatAddsAndExactKeepsTheGamesRule) {
    const AnswerMatcher lenient(MatchRule::Lenient, u"Pacific", 6);
    for (const char16_t* said :
         {u"Pacific", u"pacific", u" Pacific ", u"ＰＡＣＩＦＩＣ", u"\u3000Ｐａｃｉｆｉｃ"})
        EXPECT_TRUE(lenient.IsRight(said)) << "lenient refused a form of the answer";
    for (const char16_t* said : {u"Pacifi", u"Pacific Ocean", u"Atlantic", u""})
        EXPECT_FALSE(lenient.IsRight(said));
    EXPECT_EQ(lenient.ForGame(u" pacific"), u"Pacific"); // the game gets its own answer
    EXPECT_EQ(lenient.ForGame(u"Atlantic"), u"Atlantic");

    const AnswerMatcher exact(MatchRule::Exact, u"Pacific", 6);
    EXPECT_TRUE(exact.IsRight(u"Pacific"));
    for (const char16_t* said : {u"pacific", u"Pacific ", u"ＰＡＣＩＦＩＣ"})
        EXPECT_FALSE(exact.IsRight(said));
    EXPECT_EQ(exact.ForGame(u" pacific"), u" pacific");

    // Several accepted answers, each forgiven alike; Latin letters beyond ASCII fold too.
    const AnswerMatcher either(MatchRule::Lenient, u"New  York | NYC|Ürümqi", 6);
    for (const char16_t* said : {u"new york", u"NEW YORK ", u"nyc", u"ÜRÜMQI", u"ürümqi"})
        EXPECT_TRUE(either.IsRight(said));
    EXPECT_FALSE(either.IsRight(u"New York | NYC"));
    EXPECT_FALSE(either.IsRight(u"|"));
    EXPECT_EQ(either.ForGame(u"nyc"), u"New  York | NYC|Ürümqi");
}

TEST(AnswerMatch, AChoiceReachesTheGameAsItsPlainCharacter) {
    const AnswerMatcher lenient(MatchRule::Lenient, u"B", 6);
    ASSERT_TRUE(lenient.IsChoiceQuestion());
    EXPECT_TRUE(lenient.IsRight(u"Ｂ"));
    EXPECT_TRUE(lenient.IsRight(u" b"));
    EXPECT_FALSE(lenient.IsRight(u"I think B"));
    EXPECT_EQ(lenient.ForGame(u"ｂ"), u"B");
    EXPECT_EQ(lenient.ForGame(u"Ａ"), u"A"); // a wrong choice still uses the viewer's one try
    EXPECT_EQ(lenient.ChoiceOf(u"７"), std::nullopt); // 7 is no choice
    EXPECT_EQ(AnswerMatcher(MatchRule::Lenient, u"B", 4).ChoiceOf(u"5"), std::nullopt);

    const AnswerMatcher exact(MatchRule::Exact, u"B", 6);
    EXPECT_TRUE(exact.IsRight(u"b"));
    EXPECT_FALSE(exact.IsRight(u"Ｂ"));
    EXPECT_EQ(exact.ChoiceOf(u" b"), std::nullopt);
}

RoundAnswer Says(std::uint32_t viewer, const char16_t* text) {
    return {viewer, u"viewer", text, 0};
}

TEST(Round, TheClockClosesTheQuestionAndThePresenterMovesIt) {
    Round round({MatchRule::Lenient, 10, false, 6});
    EXPECT_EQ(round.Take(Says(1, u"x"), 0), u"x"); // no question yet: the game's own rules
    round.Begin(u"Paris", 100);
    EXPECT_EQ(round.Take(Says(1, u"paris"), 109.9), u"Paris");     // before 0 counts
    EXPECT_EQ(round.Take(Says(2, u"paris"), 110.0), std::nullopt); // at 0 it is closed
    auto state = round.State(110.5);
    EXPECT_EQ(state["left"], 0);
    EXPECT_FALSE(state["open"]);
    EXPECT_EQ(state["right"], 1);
    EXPECT_EQ(round.Feed()[0]["counted"], false);

    std::string error;
    ASSERT_TRUE(round.AddSeconds(10, 111, error)); // "+10 s" after 0 reopens for ten seconds
    EXPECT_TRUE(round.Open(120.9));
    EXPECT_FALSE(round.Open(121));
    ASSERT_TRUE(round.GiveSeconds(30, 121, error));
    EXPECT_EQ(round.State(121)["seconds"], 30);
    ASSERT_TRUE(round.Close(125, error));
    EXPECT_FALSE(round.Open(125));
    EXPECT_FALSE(round.GiveSeconds(0, 125, error));
    EXPECT_FALSE(round.AddSeconds(show::kMaxAnswerSeconds + 1, 125, error));

    Round none;
    EXPECT_FALSE(none.Close(0, error));
    EXPECT_EQ(error, "no question has been pushed");
}

TEST(Round, AHeldRevealKeepsRightAnswersUntilTheQuestionCloses) {
    Round round({MatchRule::Lenient, 20, true, 6});
    round.Begin(u"B", 0);
    EXPECT_EQ(round.Take(Says(1, u"Ｂ"), 1), std::nullopt);
    EXPECT_EQ(round.Take(Says(2, u"A"), 2), std::nullopt);
    EXPECT_EQ(round.Take(Says(2, u"B"), 3), std::nullopt); // a second choice
    EXPECT_EQ(round.Take(Says(3, u"hello"), 4), std::nullopt);
    EXPECT_EQ(round.Take(Says(4, u"b"), 5), std::nullopt);
    auto state = round.State(5);
    EXPECT_TRUE(state["held"]);
    EXPECT_EQ(state["answers"], 3);
    EXPECT_EQ(state["right"], 2);
    EXPECT_EQ(state["choices"], (nlohmann::json{{"A", 1}, {"B", 2}}));
    EXPECT_TRUE(round.DueAnswers(19.9).empty());

    const auto due = round.DueAnswers(20); // the clock ran out: the reveal
    ASSERT_EQ(due.size(), 2u);
    EXPECT_EQ(due[0].viewer, 1u);
    EXPECT_EQ(due[0].text, u"B");
    EXPECT_EQ(due[1].viewer, 4u);
    EXPECT_TRUE(round.DueAnswers(21).empty());
    EXPECT_TRUE(round.State(21)["revealed"]);

    // The presenter reveals early: answers kept so far go out, and the question closes.
    std::string error;
    round.Begin(u"Paris", 100);
    round.Take(Says(5, u"PARIS"), 101);
    ASSERT_TRUE(round.Reveal(102, error));
    ASSERT_EQ(round.DueAnswers(102).size(), 1u);
    EXPECT_EQ(round.Take(Says(6, u"Paris"), 103), std::nullopt);

    // Without a clock nothing is held.
    Round untimed({MatchRule::Lenient, 0, true, 6});
    untimed.Begin(u"Paris", 0);
    EXPECT_EQ(untimed.Take(Says(1, u"paris"), 1), u"Paris");
}

// The clock as viewers see it, on 640 × 360 pictures.
class ClockOnPicture : public ::testing::Test {
protected:
    static constexpr int kW = 640, kH = 360;
    // Draws on a picture of one grey level and alpha, top-down; returns it.
    std::vector<BYTE> Draw(BYTE level, show::ClockView clock, BYTE alpha = 255) {
        std::vector<BYTE> picture(std::size_t(kW) * kH * 4, level);
        for (std::size_t i = 3; i < picture.size(); i += 4)
            picture[i] = alpha;
        overlay.Draw(picture.data(), kW, -kH, clock, u"");
        return picture;
    }
    // The box's columns on a row near its top: where the picture changed.
    static std::pair<int, int> BoxColumns(const std::vector<BYTE>& picture, BYTE level) {
        int first = kW, last = -1;
        for (int x = 0; x < kW; ++x)
            if (picture[(std::size_t(14) * kW + x) * 4] != level) {
                first = std::min(first, x);
                last = x;
            }
        return {first, last};
    }
    // Pixels inside the box brighter than `floor` in every channel, and red ones.
    static std::pair<int, int> Text(const std::vector<BYTE>& picture, std::pair<int, int> box) {
        int bright = 0, red = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = box.first; x <= box.second; ++x) {
                const BYTE* p = &picture[(std::size_t(y) * kW + x) * 4];
                bright += p[0] > 200 && p[1] > 200 && p[2] > 200;
                red += p[2] > 200 && p[1] < 150;
            }
        return {bright, red};
    }
    show::RoundOverlay overlay;
};

TEST_F(ClockOnPicture, ReadableOnAnyPictureAndStillShownAtZero) {
    const auto box = BoxColumns(Draw(128, {true, 7.2, 10, true}), 128);
    ASSERT_GT(box.second, box.first) << "no clock";
    EXPECT_GT(box.first, kW * 3 / 4) << "the clock belongs in the top right corner";
    for (const BYTE level : {BYTE(0), BYTE(255)}) {
        const auto picture = Draw(level, {true, 7.2, 10, true});
        EXPECT_GT(Text(picture, box).first, 20) << "no light digits on level " << int(level);
        EXPECT_LT(picture[(std::size_t(14) * kW + box.first + 2) * 4], 80) << "the box is not dark";
    }
    // 10 and then 9: the box stands still; closed, it shows 0 in red over an empty bar.
    const auto ten = BoxColumns(Draw(128, {true, 9.5, 10, true}), 128);
    EXPECT_EQ(BoxColumns(Draw(128, {true, 8.5, 10, true}), 128), ten);
    const auto closed = Draw(128, {true, 0, 10, false});
    EXPECT_EQ(BoxColumns(closed, 128), ten);
    EXPECT_GT(Text(closed, ten).second, 10);
    EXPECT_TRUE(BoxColumns(Draw(128, {false, 0, 0, false}), 128).second < 0) << "no clock, no box";

    // On a transparent canvas (an OBS source) the box covers what lies under it.
    const auto canvas = Draw(0, {true, 5, 10, true}, 0);
    EXPECT_GT(canvas[(std::size_t(14) * kW + ten.first + 2) * 4 + 3], 150);
}

} // namespace
