#include "show/event_reader.h"

#include <chrono>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include "show/fake_show.h"
#include "show/live_events.h"

namespace {

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

} // namespace
