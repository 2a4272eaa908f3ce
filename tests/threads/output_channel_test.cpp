// A live show's outputs and input run on threads of their own, against programs that lag, die
// or never read. The show's video thread must never wait on any of them, and ending the show
// must never wait for one longer than its deadline.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "hosting/live_input.h"
#include "hosting/output_channel.h"

namespace {

using hosting::OutputChannel;
using hosting::OutputHealth;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

hosting::SharedPacket Picture(std::size_t bytes = 16 * 1024) {
    auto packet = std::make_shared<hosting::MediaPacket>();
    packet->picture = true;
    packet->bytes.assign(bytes, 1);
    return packet;
}

// A channel whose "ffmpeg" is the shell `script`, reading the stream on its stdin.
std::unique_ptr<OutputChannel> Channel(const std::string& script, bool retries,
                                       std::size_t queued = 5) {
    auto channel = std::make_unique<OutputChannel>(
        "rtmp://127.0.0.1/live/key", std::vector<std::string>{"/bin/sh", "-c", script},
        std::vector<BYTE>(64, 0), retries, queued);
    channel->Start();
    return channel;
}

template <typename Done>
bool WaitFor(Done done, std::chrono::milliseconds most = 10s) {
    for (auto waited = 0ms; waited < most && !done(); waited += 20ms)
        std::this_thread::sleep_for(20ms);
    return done();
}

TEST(OutputChannels, ALaggingOutputLosesItsOldestPicturesNotTheShowsTime) {
    auto channel = Channel("sleep 3; exec cat >/dev/null", false);
    const auto started = Clock::now();
    // Far more than the queue and the pipe hold: pictures of a quarter of the pipe's megabyte
    // (small 720p pictures are bigger), so that it takes four at most.
    for (int i = 0; i < 200; ++i)
        channel->Put(Picture(256 * 1024));
    // Handing over never waited for the reader that sleeps.
    EXPECT_LT(Clock::now() - started, 2500ms);
    const OutputHealth lagging = channel->Health();
    EXPECT_GT(lagging.dropped, 150);
    EXPECT_TRUE(channel->Close(Clock::now() + 10s));
    const OutputHealth done = channel->Health();
    EXPECT_EQ(done.state, OutputHealth::State::Finished);
    EXPECT_EQ(done.pictures + done.dropped, 200);
}

// An encoded picture needs those since the last key picture: an output that lags loses them in
// whole runs, so whatever reaches it after a gap starts at a key picture.
TEST(OutputChannels, ALaggingOutputLosesEncodedPicturesUpToTheNextKeyOne) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("askgame-encoded-" + std::to_string(getpid()) + ".bin");
    auto channel = Channel("sleep 1; exec cat >'" + file.string() + "'", false);
    constexpr int kPictures = 120, kKeyEvery = 10;
    constexpr std::size_t kBytes = 256 * 1024;
    for (int i = 0; i < kPictures; ++i) {
        auto packet = std::make_shared<hosting::MediaPacket>();
        packet->picture = true;
        packet->key = i % kKeyEvery == 0;
        packet->bytes.assign(kBytes, BYTE(i));
        channel->Put(packet);
    }
    EXPECT_TRUE(channel->Close(Clock::now() + 10s));
    const OutputHealth done = channel->Health();
    EXPECT_GT(done.dropped, 0);
    EXPECT_EQ(done.pictures + done.dropped, kPictures);

    std::vector<int> received;
    std::ifstream in(file, std::ios::binary);
    in.seekg(64); // the header
    std::vector<char> picture(kBytes);
    while (in.read(picture.data(), std::streamsize(kBytes)))
        received.push_back(static_cast<unsigned char>(picture[0]));
    std::filesystem::remove(file);
    ASSERT_EQ(long(received.size()), done.pictures);
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.front() % kKeyEvery, 0);
    for (std::size_t i = 1; i < received.size(); ++i) {
        EXPECT_GT(received[i], received[i - 1]);
        if (received[i] != received[i - 1] + 1) {
            EXPECT_EQ(received[i] % kKeyEvery, 0) << "picture " << received[i] << " after a gap";
        }
    }
}

TEST(OutputChannels, ANetworkOutputThatDiesIsStartedAgainAndAFileIsNot) {
    // Each run takes 100 kB and goes, as a receiver that drops the connection.
    auto network = Channel("exec head -c 100000 >/dev/null", true);
    auto file = Channel("exec head -c 100000 >/dev/null", false);
    const bool restarted = WaitFor([&] {
        network->Put(Picture());
        file->Put(Picture());
        std::this_thread::sleep_for(5ms);
        return network->Health().restarts >= 1 && network->Health().pictures > 10;
    });
    EXPECT_TRUE(restarted) << hosting::StateName(network->Health().state);
    EXPECT_FALSE(network->FailedForGood());
    EXPECT_TRUE(file->FailedForGood());
    EXPECT_EQ(file->Health().state, OutputHealth::State::Failed);
    EXPECT_EQ(file->Health().restarts, 0);
    network->Close(Clock::now() + 5s);
}

TEST(OutputChannels, AReceiverThatNeverReadsIsEndedAtTheDeadline) {
    auto channel = Channel("exec sleep 30", false);
    for (int i = 0; i < 20; ++i) // enough to fill the pipe: its writer blocks
        channel->Put(Picture(64 * 1024));
    const auto deadline = Clock::now() + 300ms;
    EXPECT_FALSE(channel->Close(deadline));
    EXPECT_LT(Clock::now() - deadline, 2s);
    EXPECT_TRUE(channel->FailedForGood());
}

TEST(LiveInputs, AnInputThatSendsNothingStopsAtOnce) {
    const auto fifo = std::filesystem::temp_directory_path() /
                      ("askgame-silent-" + std::to_string(getpid()) + ".fifo");
    std::filesystem::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    hosting::LiveInput input;
    hosting::LiveInputSettings settings;
    settings.input = fifo.string();
    settings.width = 64;
    settings.height = 48;
    std::string error;
    ASSERT_TRUE(input.Start(settings, {}, error)) << error;
    std::atomic<bool> stop{false};
    EXPECT_FALSE(input.WaitForFirstPicture(300ms, stop));
    hosting::I420Picture picture = *hosting::MakeI420Picture(64, 48);
    EXPECT_FALSE(input.Latest(picture));
    const auto stopping = Clock::now();
    input.Stop(); // ffmpeg still waits for a writer to open the FIFO
    EXPECT_LT(Clock::now() - stopping, 2s);
    std::filesystem::remove(fifo);
}

} // namespace
