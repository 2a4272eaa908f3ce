#include "show/event_reader.h"

#include <chrono>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "show/fake_show.h"
#include "show/live_events.h"
#include "show/live_game.h"
#include "show/live_test_support.h"

namespace {

using namespace std::chrono_literals;

void WaitFor(const show::EventReader& reader) {
    for (int i = 0; i < 500 && !reader.Finished(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

TEST(EventReader, HandsEachLineOnAndReportsTheBadOnes) {
    std::string dir = ::testing::TempDir();
    if (dir.ends_with('/')) dir.pop_back();
    const std::string path = dir + "/events.jsonl";
    std::ofstream(path) << R"({"chat": {"id": 1, "name": "Li", "text": "A"}})"
                        << "\n"
                        << "\n"
                        << R"({"chat": {"id": 1, "name": "Li"}})"
                        << "\r\n"
                        << R"({"panel": {"bank": "q.txt"}})"
                        << "\n"
                        << std::string(show::kMaxEventBytes + 10, 'x') << "\n"
                        << R"({"gift": {"id": 2, "name": "Bo", "value": 5}})"; // no final newline
    show_test::FakeShow show;
    show.fullTimes = 3; // the reader waits for room instead of dropping
    std::vector<std::string> reports;
    std::string error;
    auto reader = show::EventReader::Open(
        path, show, [&](const std::string& line) { reports.push_back(line); }, error);
    ASSERT_TRUE(reader) << error;
    reader->Start();
    WaitFor(*reader);
    ASSERT_TRUE(reader->Finished());

    const auto viewers = show.Viewers();
    ASSERT_EQ(viewers.size(), 2u);
    EXPECT_EQ(viewers[0].text, u"A");
    EXPECT_EQ(viewers[1].giftValue, 5);
    ASSERT_EQ(show.Presenter().size(), 1u);
    EXPECT_EQ(show.Presenter()[0].path, dir + "/q.txt");
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], path + ":3: missing field \"text\"");
    EXPECT_NE(reports[1].find(":5: the line is longer than"), std::string::npos) << reports[1];
    EXPECT_EQ(reader->Delivered(), 3u);
    EXPECT_EQ(reader->Skipped(), 2u);
    // The panel line waited for the chat before it to be judged.
    const std::vector<std::pair<std::uint64_t, std::size_t>> waited = {{1, 0}};
    EXPECT_EQ(show.Waits(), waited);
}

TEST(EventReader, AFifoWithNoWriterYetOpensAtOnceAndIsReadWhenOneComes) {
    std::string dir = ::testing::TempDir();
    if (dir.ends_with('/')) dir.pop_back();
    const std::string path = dir + "/events.fifo";
    ::unlink(path.c_str());
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    show_test::FakeShow show;
    std::string error;
    auto reader = show::EventReader::Open(path, show, nullptr, error); // no writer: no wait
    ASSERT_TRUE(reader) << error;
    reader->Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(reader->Finished()) << "no writer yet is not the end of the events";
    const int writer = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    const std::string line = R"({"chat": {"id": 4, "name": "Jo", "text": "D"}})"
                             "\n";
    ASSERT_EQ(::write(writer, line.data(), line.size()), ssize_t(line.size()));
    ::close(writer);
    WaitFor(*reader);
    EXPECT_TRUE(reader->Finished());
    EXPECT_EQ(show.Viewers().size(), 1u);
    ::unlink(path.c_str());
}

TEST(EventReader, AQuietPipeStopsPromptly) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    show_test::FakeShow show;
    show::EventReader reader(fds[0], true, "pipe", "", show, nullptr);
    reader.Start();
    const std::string line = R"({"chat": {"id": 3, "name": "Al", "text": "C"}})"
                             "\n";
    ASSERT_EQ(::write(fds[1], line.data(), line.size()), ssize_t(line.size()));
    for (int i = 0; i < 500 && show.Viewers().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(show.Viewers().size(), 1u);
    const auto before = std::chrono::steady_clock::now();
    reader.Stop(); // the writer is still open: the reader must not wait for more
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    EXPECT_FALSE(reader.Finished());
    ::close(fds[1]);
}

// A free-mode game whose frames are drawn on a video thread of its own, as a live host draws
// them, or not at all.
class DrawnGame {
    show::UiThread ui_;
    hosting::Transcript transcript_;

public:
    explicit DrawnGame(bool drawing) {
        show::LiveGameOptions options;
        options.width = kWidth;
        options.height = kHeight;
        std::string error;
        live = show::LiveGame::Create(show_test::Plugin(), ui_, transcript_, options, error);
        EXPECT_TRUE(live) << error;
        if (live && drawing) video_ = std::thread([this] { Draw(); });
    }
    ~DrawnGame() {
        stop_ = true;
        if (video_.joinable()) video_.join();
        if (live) live->Finish();
    }

    std::unique_ptr<show::LiveGame> live;

private:
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 90;
    void Draw() {
        std::vector<BYTE> frame(std::size_t(kWidth) * kHeight * 4);
        while (!stop_) {
            live->DrawFrame(frame.data(), kWidth, -kHeight);
            std::this_thread::sleep_for(2ms);
        }
    }

    std::atomic<bool> stop_{false};
    std::thread video_;
};

std::string ChatLine(int id, const std::string& text) {
    return nlohmann::json{
               {"chat", {{"id", id}, {"name", "v" + std::to_string(id)}, {"text", text}}}}
               .dump() +
           "\n";
}

std::string WriteEvents(const std::string& name, const std::string& lines) {
    const std::string path = ::testing::TempDir() + "/" + name;
    std::ofstream(path) << lines;
    return path;
}

TEST(EventReaderInAShow, EachChatIsJudgedAgainstTheQuestionItFollowed) {
    // Question 1's answer is B and question 2's is C; in one burst, ten viewers answer the
    // first, the presenter moves on, ten others answer the second.
    constexpr int kPerQuestion = 10;
    std::string lines = R"({"panel": {"bank": ")" + show_test::DemoBank() + "\"}}\n" +
                        R"({"panel": {"option": "OptShowQuestion", "selected": true}})"
                        "\n"
                        R"({"panel": {"click": "ButtonShowQue"}})"
                        "\n";
    for (int i = 0; i < kPerQuestion; ++i)
        lines += ChatLine(100 + i, "B");
    lines += R"({"panel": {"click": "BtnNextQue"}})"
             "\n"
             R"({"panel": {"click": "ButtonShowQue"}})"
             "\n";
    for (int i = 0; i < kPerQuestion; ++i)
        lines += ChatLine(200 + i, "C");
    const std::string path = WriteEvents("ordered-events.jsonl", lines);

    for (int run = 0; run < 3; ++run) { // the order once depended on the threads' timing
        DrawnGame game(true);
        ASSERT_TRUE(game.live);
        std::string error;
        auto reader = show::EventReader::Open(path, *game.live, nullptr, error);
        ASSERT_TRUE(reader) << error;
        reader->Start();
        WaitFor(*reader);
        ASSERT_TRUE(reader->Finished());
        for (int i = 0; i < 500 && game.live->State()["scorers"] != 2 * kPerQuestion; ++i)
            std::this_thread::sleep_for(10ms);
        const auto state = game.live->State(show::kMaxStateTop);
        EXPECT_EQ(state["question"]["number"], 2);
        ASSERT_EQ(state["scorers"], 2 * kPerQuestion) << "run " << run << ": " << state.dump();
        EXPECT_EQ(reader->Skipped(), 0u);
    }
}

TEST(EventReaderInAShow, APanelLineWaitingForFramesStopsPromptly) {
    DrawnGame game(false); // no frame comes to judge the chat
    const std::string path = WriteEvents("waiting-events.jsonl",
                                         ChatLine(1, "B") + R"({"panel": {"click": "BtnNextQue"}})"
                                                            "\n");
    std::string error;
    auto reader = show::EventReader::Open(path, *game.live, nullptr, error);
    ASSERT_TRUE(reader) << error;
    reader->Start();
    std::this_thread::sleep_for(200ms);
    const auto before = std::chrono::steady_clock::now();
    reader->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_EQ(reader->Delivered(), 1u) << "the panel line waits for the chat to be judged";
    EXPECT_FALSE(reader->Finished());
}

TEST(EventReaderInAShow, ADeviceIsNoEventsFile) {
    show_test::FakeShow show;
    std::string error;
    EXPECT_FALSE(show::EventReader::Open("/dev/zero", show, nullptr, error));
    EXPECT_NE(error.find("is a device"), std::string::npos) << error;
}

} // namespace
