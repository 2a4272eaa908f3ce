// Many viewers at once: 100,000 chat messages posted over HTTP from several threads while
// frames are drawn on a video thread and the presenter works the panel on the UI thread.
// Nothing accepted may be lost, nothing may be released twice or leak, and the threads must
// not race (this test also runs under ThreadSanitizer).
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "show/endpoint.h"
#include "show/live_game.h"
#include "show/live_test_support.h"

namespace {

using namespace std::chrono_literals;

constexpr int kViewers = 8;       // posting threads, each a crowd of viewers
constexpr int kMessages = 100000; // in all
constexpr int kWidth = 160;
constexpr int kHeight = 90;
constexpr const char* kToken = "stress-token";

int Messages() {
    const char* wanted = std::getenv("ASKGAME_STRESS_MESSAGES");
    return wanted && std::atoi(wanted) > 0 ? std::atoi(wanted) : kMessages;
}

TEST(LiveStress, ManyViewersWhileFramesRun) {
    const int messages = Messages();
    show::UiThread ui;
    hosting::Transcript transcript;
    show::LiveGameOptions options;
    options.mode = hosting::GameMode::Free;
    options.width = kWidth;
    options.height = kHeight;
    std::string error;
    auto live = show::LiveGame::Create(show_test::Plugin(), ui, transcript, options, error);
    ASSERT_TRUE(live) << error;
    ASSERT_TRUE(live->ApplyPresenterAction(
                        show_test::Panel(R"({"bank": ")" + show_test::DemoBank() + "\"}"))
                    .Ok());
    ASSERT_TRUE(live->ApplyPresenterAction(show_test::Panel(R"({"click": "ButtonShowQue"})")).Ok());

    show::EndpointOptions endpointOptions;
    endpointOptions.port = 0;
    endpointOptions.token = kToken;
    show::Endpoint endpoint(*live, endpointOptions);
    ASSERT_TRUE(endpoint.Start(error)) << error;

    std::atomic<bool> stop{false};
    std::thread video([&] {
        std::vector<BYTE> frame(std::size_t(kWidth) * kHeight * 4);
        while (!stop) {
            live->DrawFrame(frame.data(), kWidth, -kHeight);
            std::this_thread::sleep_for(1ms);
        }
    });
    std::thread presenter([&] {
        const char* steps[] = {R"({"click": "BtnNextQue"})", R"({"click": "ButtonShowQue"})"};
        for (int i = 0; !stop; ++i) {
            live->ApplyPresenterAction(show_test::Panel(steps[i % 2]));
            std::this_thread::sleep_for(20ms);
        }
    });

    std::atomic<int> ok{0}, full{0}, other{0};
    std::vector<std::thread> viewers;
    for (int v = 0; v < kViewers; ++v)
        viewers.emplace_back([&, v] {
            httplib::Client client("127.0.0.1", endpoint.Port());
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            client.set_read_timeout(10);
            client.set_bearer_token_auth(kToken);
            for (int i = v; i < messages; i += kViewers) {
                const std::uint32_t id = 10000 + std::uint32_t(i % 5000);
                const std::string body = R"({"id": )" + std::to_string(id) +
                                         R"(, "name": "viewer )" + std::to_string(id) +
                                         R"(", "text": ")" + "ABCD"[i % 4] + "\"}";
                const auto result = client.Post("/api/chat", body, "application/json");
                if (result && result->status == 200)
                    ++ok;
                else if (result && result->status == 503)
                    ++full;
                else
                    ++other;
            }
        });
    for (auto& t : viewers)
        t.join();
    // Let the game take in what is still queued, a bounded while.
    for (int i = 0; i < 200 && live->Counters().queued > 0; ++i)
        std::this_thread::sleep_for(10ms);
    stop = true;
    video.join();
    presenter.join();
    endpoint.Stop();

    const show::LiveCounters counters = live->Counters();
    live->Finish();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(ok + full, messages);
    EXPECT_EQ(counters.accepted, std::uint64_t(ok));
    EXPECT_EQ(counters.refused, std::uint64_t(full));
    // Every accepted message reached the audience, or is still in the queue.
    EXPECT_EQ(transcript.Texts("chat").size() + counters.queued, std::size_t(ok));
    EXPECT_EQ(transcript.HostErrorCount(), 0);
    EXPECT_GT(counters.frames, 0);
}

} // namespace
