// The challenge game's room: gifts rank the players, chat is scanned for the answer, and every
// message the host hands over comes back exactly once (FakeAudience fails the test otherwise).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/audience_tracker.h"
#include "support/fake_audience.h"

namespace {

std::u16string Decimal(unsigned value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

class Room : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(room.Balanced()); }

    CAudienceTracker::Standings Poll() {
        CAudienceTracker::Standings s;
        tracker.Poll(&s);
        return s;
    }
    std::vector<std::u16string> Ranking() {
        const CAudienceTracker::Standings s = Poll();
        std::vector<std::u16string> names;
        for (std::size_t i = 0; i < s.topCount; ++i)
            names.push_back(std::u16string(s.top[i]->senderName) + u"=" +
                            Decimal(s.top[i]->points));
        return names;
    }
    // Three players ranked ann, bob, cid, and a fourth, dan, who cannot score.
    void SeatFourPlayers() {
        room.Gift(1, u"ann", 1, 9);
        room.Gift(2, u"bob", 1, 8);
        room.Gift(3, u"cid", 1, 7);
        room.Gift(4, u"dan", 1, 6);
        Poll();
    }
    // Scans for `answer` and hands back what was found; the id of the scorer, or 0.
    std::uint32_t Scan(const char16_t* answer) {
        AudienceMessage* right = tracker.FindRightAnswer(answer);
        if (!right) return 0;
        const std::uint32_t id = right->senderId;
        room.ReleaseMessage(right);
        return id;
    }

    FakeAudience room;
    CAudienceTracker tracker{&room};
};

TEST_F(Room, GiftsFromOneSenderAddUpAndTheRankingFollowsEveryGift) {
    room.Gift(1, u"ann", 1, 5);
    room.Gift(2, u"bob", 2, 4);
    room.Gift(3, u"cid", 3, 1);
    room.Gift(4, u"dan", 1, 1);
    EXPECT_EQ(Ranking(), (std::vector<std::u16string>{u"bob=8", u"ann=5", u"cid=3"}));
    EXPECT_EQ(tracker.PlayerCount(), 4u);

    room.Gift(1, u"renamed", 1, 5); // the first name stays
    room.Gift(4, u"dan", 2, 2);
    EXPECT_EQ(Ranking(), (std::vector<std::u16string>{u"ann=10", u"bob=8", u"dan=5"}));
}

TEST_F(Room, AGiftIsWorthCountTimesValueInSixteenBits) {
    room.Gift(1, u"ann", 256, 256);     // 65,536: nothing
    room.Gift(2, u"bob", 300, 300);     // 90,000 − 65,536
    room.Gift(3, u"cid", 65535, 65535); // (−1) × (−1) modulo 65,536
    const CAudienceTracker::Standings s = Poll();
    ASSERT_EQ(s.topCount, 3u);
    EXPECT_EQ(s.top[0]->points, 24464);
    EXPECT_EQ(s.top[1]->points, 1);
    EXPECT_EQ(s.top[2]->points, 0);
}

TEST_F(Room, WhileGatheringChatAndNullEntriesAreHandedBackUnread) {
    room.Chat(1, u"ann", u"hello");
    room.NullEntry();
    room.Chat(2, u"bob", u"b", AudienceKind::ChallengeText);
    room.Gift(3, u"cid", 1, 1);
    const CAudienceTracker::Standings s = Poll();
    EXPECT_EQ(s.playerCount, 1u);
    EXPECT_EQ(room.Outstanding(), 0u);
}

TEST_F(Room, AGiftSentWhileAQuestionIsOpenIsLost) {
    SeatFourPlayers();
    tracker.SetQuestionOpen(true);
    room.Gift(4, u"dan", 100, 1);
    const int lists = room.pendingListsHandedOut;
    Poll();
    EXPECT_EQ(room.pendingListsHandedOut, lists); // nothing fetched while the question is open
    room.Chat(1, u"ann", u"b");
    EXPECT_EQ(Scan(u"b"), 1u); // the scan drops the gift on its way
    EXPECT_EQ(Ranking(), (std::vector<std::u16string>{u"ann=9", u"bob=8", u"cid=7"}));
    EXPECT_EQ(tracker.PlayerCount(), 4u);
}

TEST_F(Room, ALetterAnswerIgnoresCaseAndGivesEverySenderOneAttempt) {
    SeatFourPlayers();
    tracker.SetQuestionOpen(true);
    room.Chat(1, u"ann", u"a"); // wrong: ann's one attempt is spent
    room.Chat(1, u"ann", u"b");
    room.Chat(2, u"bob", u"");  // empty: not an attempt
    room.Chat(2, u"bob", u"B"); // right, upper case
    room.Chat(3, u"cid", u"b"); // too late: handed back unread
    EXPECT_EQ(Scan(u"b"), 2u);
    EXPECT_FALSE(tracker.IsQuestionOpen());
    EXPECT_EQ(tracker.Counts(), (std::array<std::uint32_t, 3>{0, 1, 0}));
}

TEST_F(Room, AWordAnswerIsExactAndMayBeRetried) {
    SeatFourPlayers();
    tracker.SetQuestionOpen(true);
    room.Chat(1, u"ann", u"paris");
    room.Chat(1, u"ann", u"PARIS");
    EXPECT_EQ(Scan(u"Paris"), 0u);
    room.Chat(1, u"ann", u"Paris");
    EXPECT_EQ(Scan(u"Paris"), 1u);
}

TEST_F(Room, ARightAnswerFromTheFourthPlayerLeavesTheQuestionOpen) {
    SeatFourPlayers();
    tracker.SetQuestionOpen(true);
    room.Chat(4, u"dan", u"c");
    room.Chat(9, u"eve", u"c"); // never sent a gift
    EXPECT_EQ(Scan(u"c"), 0u);
    EXPECT_TRUE(tracker.IsQuestionOpen());
    room.Chat(3, u"cid", u"c");
    EXPECT_EQ(Scan(u"c"), 3u);
    EXPECT_EQ(tracker.Counts(), (std::array<std::uint32_t, 3>{0, 0, 1}));
}

TEST_F(Room, OnlyARightAnswerOrClearAnsweredLetsASenderTryAgain) {
    SeatFourPlayers();
    tracker.SetQuestionOpen(true);
    room.Chat(1, u"ann", u"a");
    EXPECT_EQ(Scan(u"d"), 0u);
    tracker.SetQuestionOpen(true); // the next question alone keeps the attempt spent
    room.Chat(1, u"ann", u"d");
    EXPECT_EQ(Scan(u"d"), 0u);
    tracker.ClearAnswered();
    room.Chat(1, u"ann", u"d");
    EXPECT_EQ(Scan(u"d"), 1u);
    // The right answer forgot every attempt: ann may answer the next question.
    tracker.SetQuestionOpen(true);
    room.Chat(1, u"ann", u"4");
    EXPECT_EQ(Scan(u"4"), 1u);
}

TEST_F(Room, CountsStayWithRankPositionsWhenGiftsReorderThePlayers) {
    SeatFourPlayers();
    tracker.SetQuestionOpen(true);
    room.Chat(1, u"ann", u"1");
    EXPECT_EQ(Scan(u"1"), 1u);
    room.Gift(3, u"cid", 1, 50); // answered: gifts count again
    const CAudienceTracker::Standings s = Poll();
    EXPECT_EQ(s.top[0]->senderName, u"cid");
    EXPECT_EQ(s.counts, (std::array<std::uint32_t, 3>{1, 0, 0}));
}

TEST_F(Room, MessagesAreReadDefensively) {
    AudienceMessage& unterminated = room.Gift(1, u"", 1, 1);
    std::fill(std::begin(unterminated.senderName), std::end(unterminated.senderName), u'x');
    const CAudienceTracker::Standings s = Poll();
    ASSERT_EQ(s.topCount, 1u);
    EXPECT_EQ(s.top[0]->senderName.size(), AudienceMessage::kSenderNameUnits);

    tracker.SetQuestionOpen(true);
    room.Chat(1, u"x", u"b").text = nullptr; // reads as empty: no attempt spent
    room.Chat(1, u"x", u"b");
    EXPECT_EQ(Scan(u"b"), 1u);
    EXPECT_EQ(tracker.FindRightAnswer(nullptr), nullptr);
}

TEST(RoomWithoutSource, FindsNoMessagesAndCallsNothing) {
    CAudienceTracker tracker(nullptr);
    tracker.SetQuestionOpen(true);
    EXPECT_EQ(tracker.FindRightAnswer(u"a"), nullptr);
    CAudienceTracker::Standings s;
    tracker.Poll(&s);
    EXPECT_EQ(s.playerCount, 0u);
}

TEST(DisplayNames, SixUnitsShowWholeSevenAreCut) {
    EXPECT_EQ(DisplayName(u"Robert"), u"Robert");
    EXPECT_EQ(DisplayName(u"Roberta"), u"Robert...");
    EXPECT_TRUE(ShowsDisplayName(u"Robert...", u"Roberto"));
    EXPECT_FALSE(ShowsDisplayName(u"Roberto", u"Roberto"));
    EXPECT_FALSE(ShowsDisplayName(u"Robert", u"Roberto"));
}

TEST(DisplayNames, TheCutNeverSplitsASurrogatePair) {
    EXPECT_EQ(DisplayName(u"a😀😀😀"), u"a😀😀...");   // the sixth unit opens a pair
    EXPECT_EQ(DisplayName(u"ab😀😀😀"), u"ab😀😀..."); // the cut falls between two pairs
    EXPECT_TRUE(ShowsDisplayName(u"a😀😀...", u"a😀😀😀"));
    EXPECT_FALSE(ShowsDisplayName(u"a😀😀\xD83D...", u"a😀😀😀"));
}

} // namespace
