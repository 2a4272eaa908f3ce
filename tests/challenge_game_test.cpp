// The challenge game as host and panel see it: a room of viewers (FakeAudience, which fails the
// test on any message not handed back exactly once), frames of 640 × 480, the English language
// file, and the test font standing in for the fixed face.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "askgame/effect_ids.h"
#include "game/challenge_game.h"
#include "platform/debug.h"
#include "platform/file.h"
#include "platform/font_testing.h"
#include "platform/shell.h"
#include "support/fake_audience.h"
#include "support/panel_harness.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr std::uint32_t kGrey = 0xB3B3B3;   // opaque 0xB4 bar over black: (255 × 180) >> 8
constexpr std::uint32_t kYellow = 0xFEFE00; // opaque fill over black
constexpr int kBarRow = 10;                 // memory row of the score bars' lower edge

class ChallengeGame : public ::testing::Test {
protected:
    void SetUp() override {
        DropLibraryAudienceTracker(); // no tracker of an earlier test's room
        game.SetLanguageFile(
            FromNativePath(ASKGAME_SOURCE_DIR "/data/VideoGames/AskGame/English.xml").c_str());
        game.SetAudienceSource(&room);
        ASSERT_TRUE(game.Init(kW, kH, 0));
    }
    void TearDown() override {
        DropLibraryAudienceTracker();
        EXPECT_TRUE(room.Balanced());
    }

    // Draws one frame on black.
    BOOL Frame() {
        std::fill(frame.begin(), frame.end(), BYTE{0});
        return game.ProcessFrame(frame.data(), 0, 4, 0, kW, kH, 0);
    }
    std::uint32_t Rgb(int x, int row) const {
        std::uint32_t p;
        std::memcpy(&p, &frame[(static_cast<std::size_t>(row) * kW + x) * 4], 4);
        return p & 0x00FFFFFF;
    }
    // The yellow part of the score bar starting at column x.
    int FilledPixels(int x) const {
        int n = 0;
        while (n < 80 && Rgb(x + n, kBarRow) == kYellow)
            ++n;
        return n;
    }
    // Three players: ann (1) leads, bob (2) second, cid (3) third.
    void SeatPlayers() {
        room.Gift(1, u"ann", 1, 9);
        room.Gift(2, u"bob", 1, 8);
        room.Gift(3, u"cid", 1, 7);
        Frame();
    }
    // What the panel's push button does.
    void Push(const char16_t* question, const char16_t* answer) {
        game.SubmitQuestion(question);
        game.SetCorrectAnswer(answer);
        game.StartAnswerScan();
    }

    ScopedTestFontFace standIn{u"宋体"};
    FakeAudience room;
    CChallengeGameImpl game;
    std::vector<BYTE> frame = std::vector<BYTE>(static_cast<std::size_t>(kW) * kH * 4);
    MessageBoxRecorder recorder;
    std::vector<MessageBoxRecorder::Box>& boxes = recorder.boxes;
};

TEST_F(ChallengeGame, TheHostIsSignalledAfterInitAndAfterARightAnswer) {
    EXPECT_EQ(room.startCalls, 1);
    EXPECT_EQ(room.signals, (std::vector<std::pair<int, int>>{{1, 1}}));
    SeatPlayers();
    Push(u"Which letter?", u"b");
    room.Chat(2, u"bob", u"b");
    Frame();
    EXPECT_EQ(room.signals, (std::vector<std::pair<int, int>>{{1, 1}, {1, 1}}));
}

TEST_F(ChallengeGame, TheRightAnswererIsShownByDisplayNameAndId) {
    room.Gift(42, u"Alexander", 1, 9);
    room.Gift(7, u"Robert", 1, 8);
    room.Gift(8, u"Roberta", 1, 7);
    Frame();
    EXPECT_EQ(game.GetRightAnswererText(), u"");

    Push(u"Q1", u"a");
    room.Chat(42, u"Alexander", u"A");
    Frame();
    EXPECT_EQ(game.GetRightAnswererText(), u"Alexan...(42)");
    Push(u"Q2", u"a");
    room.Chat(7, u"Robert", u"a");
    Frame();
    EXPECT_EQ(game.GetRightAnswererText(), u"Robert(7)");
    Push(u"Q3", u"a");
    room.Chat(8, u"Roberta", u"a");
    Frame();
    EXPECT_EQ(game.GetRightAnswererText(), u"Robert...(8)");

    game.NewRound(); // keeps the last right answerer
    EXPECT_EQ(game.GetRightAnswererText(), u"Robert...(8)");
}

TEST_F(ChallengeGame, ColumnsStandAtTheirPlacesOverTheBottomBand) {
    std::fill(frame.begin(), frame.end(), BYTE{200});
    ASSERT_TRUE(game.ProcessFrame(frame.data(), 0, 4, 0, kW, kH, 0));
    // The band: ((256 − 96) × 200 + 96) >> 8 = 125 over the lowest 60 rows, edge to edge.
    EXPECT_EQ(Rgb(0, 0), 0x7D7D7Du);
    EXPECT_EQ(Rgb(639, 59), 0x7D7D7Du);
    EXPECT_EQ(Rgb(0, 60), 0xC8C8C8u);

    Frame();
    for (int x : {100, 280, 460}) {
        EXPECT_EQ(Rgb(x, kBarRow), kGrey) << x;
        EXPECT_EQ(Rgb(x - 1, kBarRow), 0u) << x;
        EXPECT_EQ(Rgb(x, kBarRow - 1), 0u) << x;
        EXPECT_EQ(FilledPixels(x), 0) << x;
    }
}

TEST_F(ChallengeGame, ARightAnswerGrowsTheBarOfItsColumnAndTheCountStaysThere) {
    SeatPlayers();
    Push(u"Which letter?", u"c");
    room.Chat(2, u"bob", u"c");
    Frame();
    EXPECT_EQ(FilledPixels(100), 0);
    EXPECT_EQ(FilledPixels(280), 4);
    EXPECT_EQ(FilledPixels(460), 0);

    room.Gift(3, u"cid", 1, 50); // cid takes the lead; the count stays in column 1
    Frame();
    Push(u"Which digit?", u"2");
    room.Chat(3, u"cid", u"2"); // cid now ranks first
    Frame();
    EXPECT_EQ(FilledPixels(100), 4);
    EXPECT_EQ(FilledPixels(280), 4);
    EXPECT_EQ(game.GetPlayerCount(), 3);
}

TEST_F(ChallengeGame, TheTwentyFirstQuestionIsRefusedUntilANewRound) {
    SeatPlayers();
    for (int i = 0; i < 20; ++i)
        game.SubmitQuestion(u"Q");
    EXPECT_TRUE(boxes.empty());

    Push(u"One too many", u"a");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].caption, u"Quiz Show");
    EXPECT_EQ(boxes[0].text, u"This round already has 20 questions. Start a new round to go on.");
    // Nobody can answer the question nobody sees.
    room.Chat(1, u"ann", u"a");
    Frame();
    EXPECT_EQ(game.GetRightAnswererText(), u"");

    game.NewRound();
    EXPECT_EQ(game.GetPlayerCount(), 0); // viewers send gifts again to take part
    Frame();                             // the waiting chat is handed back
    for (int i = 0; i < 20; ++i)
        game.SubmitQuestion(u"Q");
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(ChallengeGame, AQuestionIsTracedWhenItIsSubmitted) {
    TraceRecorder sink;
    game.SubmitQuestion(u"1+1?");
    game.NewRound();
    EXPECT_EQ(sink.wide, (std::vector<std::u16string>{u"题目：1+1?", u"保存的题目：1+1?",
                                                      u"保存的题目：1+1?", u"隐藏题目"}));
    ASSERT_EQ(sink.ansi.size(), 4u);
    EXPECT_EQ(sink.ansi[0], "\xCC\xE2\xC4\xBF\xA3\xBA"
                            "1+1?"); // 题目： in code page 936
}

TEST_F(ChallengeGame, AFrameOfTheWrongPixelSizeIsLeftAlone) {
    room.Gift(1, u"ann", 1, 1);
    std::fill(frame.begin(), frame.end(), BYTE{200});
    EXPECT_FALSE(game.ProcessFrame(frame.data(), 0, 3, 0, kW, kH, 0));
    EXPECT_EQ(room.pendingListsHandedOut, 0);
    EXPECT_EQ(Rgb(0, 0), 0xC8C8C8u);
    Frame(); // hands the gift back
    EXPECT_FALSE(game.Init(0, kH, 0));
    EXPECT_FALSE(game.Init(kW, 70000, 0));
    EXPECT_EQ(*game.GetEffectId(), CLSID_ChallengeGame);
}

TEST_F(ChallengeGame, ANewAudienceSourceReplacesTheOldTracker) {
    room.Gift(1, u"ann", 1, 1);
    Frame();
    FakeAudience other;
    game.SetAudienceSource(&other);
    EXPECT_EQ(other.startCalls, 1);
    EXPECT_EQ(game.GetPlayerCount(), 0);
    other.Gift(5, u"eve", 1, 1);
    other.Gift(6, u"fay", 1, 1);
    Frame();
    EXPECT_EQ(game.GetPlayerCount(), 2);
    DropLibraryAudienceTracker();
    EXPECT_TRUE(other.Balanced());
}

TEST(ChallengeGameWithoutTracker, StillDrawsAndCountsNoPlayers) {
    ScopedTestFontFace standIn{u"宋体"};
    DropLibraryAudienceTracker();
    CChallengeGameImpl game;
    ASSERT_TRUE(game.Init(kW, kH, 0));
    game.SubmitQuestion(u"Q");
    game.StartAnswerScan();
    std::vector<BYTE> frame(static_cast<std::size_t>(kW) * kH * 4, 200);
    EXPECT_TRUE(game.ProcessFrame(frame.data(), 0, 4, 0, kW, kH, 0));
    EXPECT_EQ(frame[0], 125); // the band
    EXPECT_EQ(game.GetPlayerCount(), 0);
    game.ClearAnswered();
    game.NewRound();
}

// A question written over several lines is drawn as its lines, one under the other.
TEST_F(ChallengeGame, AQuestionOverSeveralLinesIsDrawnLineByLine) {
    SeatPlayers();
    Push(u"How many legs?\nA. 6\r\nB. 8\n", u"B");
    Frame();
    // Runs of picture rows holding glyph ink, above the columns.
    std::vector<std::pair<int, int>> runs; // first row from the top, rows
    for (int y = 0; y < kH / 2; ++y) {
        bool ink = false;
        for (int x = 0; x < kW && !ink; ++x)
            ink = Rgb(x, kH - 1 - y) != 0;
        if (!ink) continue;
        if (!runs.empty() && runs.back().first + runs.back().second == y)
            ++runs.back().second;
        else
            runs.emplace_back(y, 1);
    }
    ASSERT_EQ(runs.size(), 3u) << "one run of ink per line";
    // One line step (28 / 2 + 28) apart.
    EXPECT_EQ(runs[1].first - runs[0].first, 42);
    EXPECT_EQ(runs[2].first - runs[1].first, 42);
}

} // namespace
