// A live game driven from several threads as a live host drives it: frames on a video thread,
// panel actions on the UI thread, viewers' events offered from elsewhere.
#include "show/live_game.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "season/season_recorder.h"
#include "season/sqlite.h"
#include "show/live_events.h"
#include "show/live_test_support.h"
#include "support/state_schema.h"

namespace {

using show_test::Chat;
using show_test::Gift;
using show_test::Panel;

class LiveGameTest : public ::testing::Test {
protected:
    std::unique_ptr<show::LiveGame> Make(hosting::GameMode mode,
                                         season::SeasonEventSink* season = nullptr) {
        show::LiveGameOptions options;
        options.mode = mode;
        options.season = season;
        options.width = kWidth;
        options.height = kHeight;
        options.fps = 25;
        std::string error;
        auto live = show::LiveGame::Create(show_test::Plugin(), ui_, transcript_, options, error);
        EXPECT_TRUE(live) << error;
        return live;
    }
    // Draws `n` top-down frames of mid grey.
    void Frames(show::LiveGame& live, int n) {
        for (int i = 0; i < n; ++i) {
            std::fill(frame_.begin(), frame_.end(), BYTE(128));
            ASSERT_TRUE(live.DrawFrame(frame_.data(), kWidth, -kHeight));
        }
    }
    // Draws frames until `done` holds (the UI thread works on its own time), a bounded while.
    template <typename Done>
    bool FramesUntil(show::LiveGame& live, Done done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            Frames(live, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }

    // Whether a picture row holds a green box's pixel.
    bool GreenOnRow(int y) const {
        for (int x = 0; x < kWidth; ++x) {
            const BYTE* p = &frame_[(std::size_t(y) * kWidth + x) * 4];
            if (p[1] > p[2] + 40 && p[1] > p[0] + 20) return true;
        }
        return false;
    }

    static constexpr int kWidth = 320;
    static constexpr int kHeight = 180;
    show::UiThread ui_;
    hosting::Transcript transcript_;
    std::vector<BYTE> frame_ = std::vector<BYTE>(std::size_t(kWidth) * kHeight * 4);
};

TEST_F(LiveGameTest, FreeModeViewersAnswerWhileFramesRun) {
    auto live = Make(hosting::GameMode::Free);
    ASSERT_TRUE(live);
    ASSERT_TRUE(
        live->ApplyPresenterAction(Panel(R"({"bank": ")" + show_test::DemoBank() + "\"}")).Ok());
    ASSERT_TRUE(
        live->ApplyPresenterAction(Panel(R"({"option": "OptShowQuestion", "selected": true})"))
            .Ok());
    ASSERT_TRUE(live->ApplyPresenterAction(Panel(R"({"click": "ButtonShowQue"})")).Ok());
    Frames(*live, 2);
    const std::vector<BYTE> questionShown = frame_;

    EXPECT_TRUE(live->OfferViewerEvent(Chat(1002, "Emma", "B")).Ok());
    EXPECT_TRUE(live->OfferViewerEvent(Chat(1003, "李娜", "b")).Ok());
    EXPECT_TRUE(live->OfferViewerEvent(Chat(1004, "Ajie", "A")).Ok());
    ASSERT_TRUE(FramesUntil(*live, [&] { return live->State()["scores"].size() == 2; }))
        << live->State().dump();

    const auto state = live->State();
    EXPECT_EQ(state["mode"], "free");
    EXPECT_EQ(state["question"]["number"], 1);
    EXPECT_EQ(state["question"]["count"], 6);
    EXPECT_EQ(state["question"]["answer"], "B");
    EXPECT_NE(state["question"]["text"].get<std::string>().find("中国的首都"), std::string::npos);
    EXPECT_EQ(state["scores"][0]["name"], "Emma(1002)");
    EXPECT_EQ(state["scores"][1]["name"], "李娜(1003)");
    EXPECT_EQ(state["queue"]["accepted"], 3);
    EXPECT_EQ(live->Counters().question, "1/6");
    // The drawn frame is not the grey it was handed.
    EXPECT_NE(std::count(questionShown.begin(), questionShown.end(), BYTE(128)),
              std::ptrdiff_t(questionShown.size()));

    live->Finish();
    EXPECT_EQ(transcript_.HostErrorCount(), 0) << transcript_.ToString();
    EXPECT_EQ(transcript_.Texts("chat").size(), 3u);
    EXPECT_FALSE(live->OfferViewerEvent(Chat(1, "late", "B")).Ok());
}

TEST_F(LiveGameTest, ARefusedPanelActionSaysWhyAndChangesNothing) {
    auto live = Make(hosting::GameMode::Free);
    ASSERT_TRUE(live);
    const auto before = live->State();
    const auto jump = live->ApplyPresenterAction(Panel(R"({"click": "BtnJump"})"));
    EXPECT_EQ(jump.result, show::Delivery::Result::Refused);
    EXPECT_NE(jump.reason.find("no control named \"BtnJump\""), std::string::npos) << jump.reason;
    const auto notEdit = live->ApplyPresenterAction(Panel(R"({"type": "BtnGo", "text": "x"})"));
    EXPECT_EQ(notEdit.result, show::Delivery::Result::Refused);
    const auto noFile = live->ApplyPresenterAction(Panel(R"({"bank": "/no/such/bank.txt"})"));
    EXPECT_EQ(noFile.result, show::Delivery::Result::Refused);
    // A file the panel will not take is refused with the panel's own words, not taken as done.
    const std::string folder = ::testing::TempDir();
    std::ofstream(folder + "/no-questions.txt") << "Tonight's quiz\n";
    std::ofstream(folder + "/empty.txt");
    const auto noQuestions = live->ApplyPresenterAction(
        Panel(nlohmann::json{{"bank", folder + "/no-questions.txt"}}.dump()));
    EXPECT_EQ(noQuestions.result, show::Delivery::Result::Refused);
    EXPECT_NE(noQuestions.reason.find("No questions found in this file"), std::string::npos)
        << noQuestions.reason;
    const auto empty =
        live->ApplyPresenterAction(Panel(nlohmann::json{{"bank", folder + "/empty.txt"}}.dump()));
    EXPECT_EQ(empty.result, show::Delivery::Result::Refused);
    EXPECT_NE(empty.reason.find("empty"), std::string::npos) << empty.reason;
    EXPECT_EQ(live->State()["question"], before["question"]);
}

TEST_F(LiveGameTest, ChallengePlayersGiftAndTheRightAnswererShows) {
    auto live = Make(hosting::GameMode::Challenge);
    ASSERT_TRUE(live);
    ASSERT_TRUE(
        live->ApplyPresenterAction(Panel(R"({"bank": ")" + show_test::DemoBank() + "\"}")).Ok());
    live->OfferViewerEvent(Gift(1001, "王小明", 5, 10));
    live->OfferViewerEvent(Gift(1002, "Emma", 3, 20));
    live->OfferViewerEvent(Gift(1003, "李娜", 1, 30));
    Frames(*live, 3);
    ASSERT_TRUE(live->ApplyPresenterAction(Panel(R"({"click": "ButtonShowChallengQue"})")).Ok());
    Frames(*live, 2);
    live->OfferViewerEvent(Chat(1001, "王小明", "B"));
    ASSERT_TRUE(FramesUntil(*live, [&] { return live->State()["rightAnswerer"] != ""; }))
        << live->State().dump();

    const auto state = live->State();
    EXPECT_NE(state["rightAnswerer"].get<std::string>().find("王小明"), std::string::npos);
    ASSERT_EQ(state["players"].size(), 3u);
    // The biggest senders first: Emma's 3 × 20, then 王小明's 5 × 10.
    EXPECT_EQ(state["players"][0]["id"], 1002);
    EXPECT_EQ(state["players"][0]["value"], 60);
    EXPECT_EQ(state["players"][1]["gifts"], 5);
    EXPECT_EQ(state["players"][1]["value"], 50);
    EXPECT_EQ(state["playerCount"], 3);
    EXPECT_EQ(test_support::StateSchemaFaults(state.dump()), "");
    // The picture gives the right answer a moment: a green box across the picture's middle.
    Frames(*live, 1);
    EXPECT_TRUE(GreenOnRow(kHeight * 40 / 100)) << "no moment for the right answer";
    live->Finish();
    EXPECT_EQ(transcript_.HostErrorCount(), 0) << transcript_.ToString();
    EXPECT_FALSE(transcript_.Texts("right").empty());
}

// A timed round as the presenter plays it: answers matched leniently, an ignored viewer left
// out, the reveal held until the presenter reveals, and nothing counted after it.
TEST_F(LiveGameTest, ATimedRoundHoldsItsRevealAndHearsNoIgnoredViewer) {
    auto live = Make(hosting::GameMode::Free);
    ASSERT_TRUE(live);
    ASSERT_TRUE(
        live->ApplyPresenterAction(Panel(R"({"bank": ")" + show_test::DemoBank() + "\"}")).Ok());
    EXPECT_EQ(live->ApplyRoundAction({show::RoundAction::Kind::Seconds, 30}).reason,
              "no question has been pushed");
    ASSERT_TRUE(live->ApplyPresenterAction(Panel(R"({"click": "ButtonShowQue"})")).Ok());
    ASSERT_TRUE(live->ApplyRoundAction({show::RoundAction::Kind::Seconds, 30}).Ok());
    ASSERT_TRUE(live->Moderate({true, 1005}).Ok());

    live->OfferViewerEvent(Chat(1002, "Emma", "Ｂ"));
    live->OfferViewerEvent(Chat(1005, "Spam", "B"));
    live->OfferViewerEvent(Chat(1003, "李娜", "A"));
    ASSERT_TRUE(FramesUntil(*live, [&] { return live->State()["round"]["answers"] == 2; }))
        << live->State().dump();
    auto state = live->State();
    EXPECT_TRUE(state["round"]["held"]);
    EXPECT_EQ(state["round"]["right"], 1);
    EXPECT_EQ(state["round"]["choices"], (nlohmann::json{{"A", 1}, {"B", 1}}));
    EXPECT_TRUE(state["scores"].empty()) << "the reveal was not held";
    EXPECT_EQ(state["ignored"],
              (nlohmann::json::array({{{"id", 1005}, {"name", ""}, {"season", false}}})));
    EXPECT_EQ(test_support::StateSchemaFaults(state.dump()), "");
    // The clock's box in the top right corner: dark over the grey picture.
    EXPECT_LT(frame_[(std::size_t(kHeight / 10) * kWidth + kWidth - 8) * 4], 100);

    ASSERT_TRUE(live->ApplyRoundAction({show::RoundAction::Kind::Reveal, 0}).Ok());
    ASSERT_TRUE(FramesUntil(*live, [&] { return live->State()["scores"].size() == 1; }));
    live->OfferViewerEvent(Chat(1004, "Ajie", "B"));
    ASSERT_TRUE(FramesUntil(*live, [&] { return live->State()["feed"].size() == 3; }));
    state = live->State();
    EXPECT_EQ(state["scores"][0]["name"], "Emma(1002)");
    EXPECT_EQ(state["scores"].size(), 1u) << "an answer after the reveal counted";
    EXPECT_FALSE(state["feed"][0]["counted"]);
    EXPECT_FALSE(state["round"]["open"]);
    EXPECT_EQ(live->Moderate({true, 1004, true}).reason, "this show keeps no season");
    live->Finish();
}

TEST_F(LiveGameTest, AMessageBoxWaitsForItsAnswerWhileFramesGoOn) {
    auto live = Make(hosting::GameMode::Challenge);
    ASSERT_TRUE(live);
    std::atomic<bool> boxOpen{false}, pressOk{false};
    live->SetMessageBoxHandler([&](const MessageBoxRequest&) {
        boxOpen = true;
        while (!pressOk)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return IDOK;
    });
    // Pushing a question before anyone sent a gift makes the panel complain in a box.
    std::thread presenter(
        [&] { live->ApplyPresenterAction(Panel(R"({"click": "ButtonShowChallengQue"})")); });
    for (int i = 0; i < 2000 && !boxOpen; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (boxOpen) {
        Frames(*live, 3); // the video thread is not held up by the open box
        EXPECT_EQ(live->State()["messageBoxes"], 1);
    }
    pressOk = true;
    presenter.join();
    ASSERT_TRUE(boxOpen) << "the panel showed no box";
    EXPECT_FALSE(live->State()["lastMessageBox"].is_null());
}

// A bank near the cap chosen on air: the panel reads it on the UI thread while frames are drawn,
// viewers answer and the state is read, none of them waiting for the read to end.
TEST_F(LiveGameTest, ABigBankLoadsWhileFramesViewersAndStateGoOn) {
    const std::string bank = ::testing::TempDir() + "/big-bank.txt";
    constexpr int kQuestions = 100'000; // about 16 MB
    {
        std::ofstream out(bank, std::ios::binary);
        for (int i = 0; i < kQuestions; ++i)
            out << "[问题]\nQuestion " << i
                << ", long enough to weigh what a real one weighs: which is right?\n"
                   "A. one   B. two   C. three   D. four\n[答案]\nB\n";
    }
    auto live = Make(hosting::GameMode::Free);
    ASSERT_TRUE(live);
    using Clock = std::chrono::steady_clock;
    std::atomic<bool> loaded{false};
    show::Delivery delivery;
    const auto start = Clock::now();
    std::thread presenter([&] {
        delivery = live->ApplyPresenterAction(Panel(nlohmann::json{{"bank", bank}}.dump()));
        loaded = true;
    });
    Clock::duration longestStep{};
    for (std::uint32_t viewer = 1; !loaded; ++viewer) {
        const auto stepStart = Clock::now();
        Frames(*live, 1);
        EXPECT_TRUE(live->OfferViewerEvent(Chat(viewer, "v", "B")).Ok());
        live->State();
        longestStep = std::max(longestStep, Clock::now() - stepStart);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const auto loadTime = Clock::now() - start;
    presenter.join();
    ASSERT_TRUE(delivery.Ok()) << delivery.reason;
    EXPECT_EQ(live->State()["question"]["count"], kQuestions);
    EXPECT_LT(longestStep * 4, loadTime) << "a frame waited for the bank";
    std::remove(bank.c_str());
}

// The season file refusing writes (a full disk) shows in the state as it happens, for the page.
TEST_F(LiveGameTest, ASeasonFileThatRefusesShowsInTheState) {
    const std::string path = ::testing::TempDir() + "/refusing-season.db";
    std::remove(path.c_str());
    season::SeasonRecorder recorder(path, "main", "free");
    auto live = Make(hosting::GameMode::Free, &recorder);
    ASSERT_TRUE(live);
    EXPECT_EQ(live->State()["seasonFile"],
              (nlohmann::json{{"waiting", 0}, {"lost", 0}, {"error", ""}}));
    season::Database(path).Execute("ALTER TABLE answers RENAME TO answers_away");
    ASSERT_TRUE(
        live->ApplyPresenterAction(Panel(R"({"bank": ")" + show_test::DemoBank() + "\"}")).Ok());
    for (const char* action :
         {R"({"option": "OptShowQuestion", "selected": true})", R"({"click": "ButtonShowQue"})"})
        ASSERT_TRUE(live->ApplyPresenterAction(Panel(action)).Ok());
    live->OfferViewerEvent(Chat(1002, "Emma", "B"));
    ASSERT_TRUE(FramesUntil(*live, [&] { return live->State()["scorers"] == 1; }));
    recorder.Flush();
    const auto state = live->State();
    EXPECT_EQ(state["seasonFile"]["waiting"], 1) << state.dump();
    EXPECT_NE(state["seasonFile"]["error"].get<std::string>().find("answers"), std::string::npos);
    EXPECT_EQ(test_support::StateSchemaFaults(state.dump()), "");
    live->Finish();
    EXPECT_TRUE(Make(hosting::GameMode::Free)->State()["seasonFile"].is_null());
}

} // namespace
