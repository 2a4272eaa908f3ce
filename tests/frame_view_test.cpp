// Both games on frames other than the one Init described: top-down buffers (negative height) and
// frames smaller or larger than Init's size, as a camera that switches resolution hands them over.
// Every frame sits between guard bytes, so a write outside it fails the test in any build.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "game/challenge_game.h"
#include "game/free_mode.h"
#include "platform/file.h"
#include "platform/font_testing.h"
#include "render/frame_view.h"
#include "support/fake_audience.h"
#include "support/panel_harness.h"

namespace {

constexpr int kInitW = 640, kInitH = 480;
constexpr std::size_t kGuardBytes = 4096;
constexpr BYTE kGuard = 0xA5;
const std::u16string kEnglish =
    FromNativePath(ASKGAME_SOURCE_DIR "/data/VideoGames/AskGame/English.xml");

// A frame of width × height packed pixels between guard bytes, filled with a picture that differs
// from row to row and column to column. `topDown` stores the picture's top row first.
class GuardedFrame {
public:
    GuardedFrame(int width, int height, bool topDown)
        : width_(width), height_(height), topDown_(topDown),
          bytes_(kGuardBytes * 2 + std::size_t(width) * height * 4, kGuard) {
        for (int row = 0; row < height; ++row)
            for (int x = 0; x < width; ++x) {
                BYTE* p = Pixel(x, row);
                p[0] = static_cast<BYTE>(x * 7 + row + 50);
                p[1] = static_cast<BYTE>(row * 3 + 90);
                p[2] = static_cast<BYTE>(x ^ row);
                p[3] = static_cast<BYTE>(x + row * 5);
            }
    }
    BYTE* Data() { return bytes_.data() + kGuardBytes; }
    // The height as ProcessFrame takes it: negative for top-down rows.
    int HostHeight() const { return topDown_ ? -height_ : height_; }
    // The pixel at column x of picture row `fromTop` (0: the picture's top row).
    BYTE* Pixel(int x, int fromTop) {
        const int memoryRow = topDown_ ? fromTop : height_ - 1 - fromTop;
        return Data() + (std::size_t(memoryRow) * width_ + x) * 4;
    }
    // The picture's row, top row first, whatever the storage order.
    std::vector<BYTE> PictureRow(int fromTop, int columns) {
        const BYTE* p = Pixel(0, fromTop);
        return std::vector<BYTE>(p, p + std::size_t(columns) * 4);
    }
    bool GuardsIntact() const {
        const auto intact = [](auto first, auto last) {
            return std::all_of(first, last, [](BYTE b) { return b == kGuard; });
        };
        return intact(bytes_.begin(), bytes_.begin() + kGuardBytes) &&
               intact(bytes_.end() - kGuardBytes, bytes_.end());
    }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    int width_, height_;
    bool topDown_;
    std::vector<BYTE> bytes_;
};

// Draws one frame of the given size and row order on a fresh picture.
template <typename Game>
GuardedFrame Draw(Game& game, int width, int height, bool topDown) {
    GuardedFrame frame(width, height, topDown);
    EXPECT_TRUE(game.ProcessFrame(frame.Data(), 0, 4, 0, width, frame.HostHeight(), 0));
    EXPECT_TRUE(frame.GuardsIntact()) << width << " x " << height << (topDown ? " top-down" : "");
    return frame;
}

// Whether both frames show the same picture over their common top-left `columns` × `rows`.
bool SameTopLeft(GuardedFrame& a, GuardedFrame& b, int columns, int rows) {
    for (int row = 0; row < rows; ++row)
        if (a.PictureRow(row, columns) != b.PictureRow(row, columns)) return false;
    return true;
}

bool Differs(GuardedFrame& drawn, int width, int height) {
    GuardedFrame untouched(width, height, false);
    return !SameTopLeft(drawn, untouched, width, height);
}

// A top-down frame of Init's size gets the same, drawn picture as a bottom-up one.
template <typename Game>
void ExpectTopDownMirrorsBottomUp(Game& game) {
    GuardedFrame bottomUp = Draw(game, kInitW, kInitH, false);
    GuardedFrame topDown = Draw(game, kInitW, kInitH, true);
    EXPECT_TRUE(Differs(bottomUp, kInitW, kInitH));
    EXPECT_TRUE(SameTopLeft(bottomUp, topDown, kInitW, kInitH));
}

struct Size {
    int width, height;
};
constexpr Size kOtherSizes[] = {{320, 240}, {100, 30}, {1, 1}, {800, 600}, {1920, 40}};

class FreeModeFrames : public ::testing::Test {
protected:
    void SetUp() override {
        game.SetLanguageFile(kEnglish.c_str());
        game.SetAudienceSource(&room);
        ASSERT_TRUE(game.Init(kInitW, kInitH, 0));
        game.SetShowQuestionText(true);
        game.PresentQuestion(u"What is the capital of France?");
        game.SetRightAnswer(u"Paris");
        room.Chat(7, u"ann", u"Paris");
        Draw(game, kInitW, kInitH, false); // ann scores: list, banner and congratulation show
    }
    void TearDown() override { EXPECT_TRUE(room.Balanced()); }

    FakeAudience room;
    CFreeModeImpl game;
};

TEST_F(FreeModeFrames, TopDownAndOtherSizedFramesAreDrawnClippedAndKeepTheScores) {
    ExpectTopDownMirrorsBottomUp(game);
    GuardedFrame full = Draw(game, kInitW, kInitH, false);
    for (const Size size : kOtherSizes)
        for (const bool topDown : {false, true}) {
            GuardedFrame frame = Draw(game, size.width, size.height, topDown);
            // The score list hangs from the top-left corner: the same there in every size.
            const int columns = std::min(size.width, kInitW), rows = std::min(size.height, 130);
            EXPECT_TRUE(SameTopLeft(full, frame, columns, rows)) << size.width;
        }
    // The game went on through the size changes: ann's point stands and she scores again.
    room.Chat(7, u"ann", u"Paris");
    Draw(game, 320, 240, true);
    const PlayerEntry* ann = game.View().scoreBoard.Find(7);
    ASSERT_NE(ann, nullptr);
    EXPECT_EQ(ann->points, 2);
}

class ChallengeFrames : public ::testing::Test {
protected:
    void SetUp() override {
        DropLibraryAudienceTracker();
        game.SetLanguageFile(kEnglish.c_str());
        game.SetAudienceSource(&room);
        ASSERT_TRUE(game.Init(kInitW, kInitH, 0));
        room.Gift(1, u"ann", 1, 9);
        room.Gift(2, u"bob", 1, 8);
        Draw(game, kInitW, kInitH, false);
        game.SubmitQuestion(u"Which letter comes after a?");
        game.SetCorrectAnswer(u"b");
        game.StartAnswerScan();
        room.Chat(2, u"bob", u"b");
        Draw(game, kInitW, kInitH, false); // bob scores: his bar grows
    }
    void TearDown() override {
        DropLibraryAudienceTracker();
        EXPECT_TRUE(room.Balanced());
    }

    ScopedTestFontFace standIn{u"宋体"};
    MessageBoxRecorder boxes;
    FakeAudience room;
    CChallengeGameImpl game;
};

TEST_F(ChallengeFrames, TopDownAndOtherSizedFramesAreDrawnClippedAndKeepTheRound) {
    ExpectTopDownMirrorsBottomUp(game);
    for (const Size size : kOtherSizes)
        for (const bool topDown : {false, true}) {
            GuardedFrame frame = Draw(game, size.width, size.height, topDown);
            EXPECT_TRUE(Differs(frame, size.width, size.height)) << size.width;
        }
    EXPECT_EQ(game.GetPlayerCount(), 2);
    EXPECT_EQ(game.GetRightAnswererText(), u"bob(2)");
    // The round goes on: ann answers the next question on a small top-down frame.
    game.SubmitQuestion(u"And after b?");
    game.SetCorrectAnswer(u"c");
    game.StartAnswerScan();
    room.Chat(1, u"ann", u"c");
    Draw(game, 320, 240, true);
    EXPECT_EQ(game.GetRightAnswererText(), u"ann(1)");
}

TEST(FrameViewOfAHostFrame, RowOrderAndRefusedSizes) {
    std::vector<BYTE> pixels(3 * 2 * 4);
    const FrameView bottomUp = HostFrameView(pixels.data(), 3, 2);
    EXPECT_EQ(bottomUp.bottomRow, pixels.data());
    EXPECT_EQ(bottomUp.stride, 12);
    const FrameView topDown = HostFrameView(pixels.data(), 3, -2);
    EXPECT_EQ(topDown.bottomRow, pixels.data() + 12); // the buffer's last row
    EXPECT_EQ(topDown.stride, -12);
    EXPECT_EQ(topDown.height, 2u);

    EXPECT_FALSE(HostFrameView(nullptr, 3, 2));
    EXPECT_FALSE(HostFrameView(pixels.data(), 0, 2));
    EXPECT_FALSE(HostFrameView(pixels.data(), -3, 2));
    EXPECT_FALSE(HostFrameView(pixels.data(), 3, 0));
    EXPECT_FALSE(HostFrameView(pixels.data(), 3, INT_MIN));
    EXPECT_FALSE(HostFrameView(pixels.data(), INT_MAX / 2, 2)); // a row's bytes pass int
}

} // namespace
