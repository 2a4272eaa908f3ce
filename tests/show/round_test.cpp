// A question as a live show plays it: answers matched as chat sends them, the clock that closes
// the question, and the reveal kept back until it closes.
#include <gtest/gtest.h>

#include "show/answer_match.h"
#include "show/round.h"

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

} // namespace
