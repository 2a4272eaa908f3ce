// What a big or hostile crowd costs the live show, each figure beside the same work without it:
// the show's state with 100,000 scorers and gift senders against a room of ten (what it lists
// either way), and a chat bot's poll of the endpoint while 500 slow clients hang on against one
// alone.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <httplib.h>

#include "hosting/scores.h"
#include "show/http_server.h"
#include "show/show_state.h"

namespace {

// The state a page or bot reads, for a room of `scorers` scorers and as many gift senders.
void State(benchmark::State& state, int scorers) {
    hosting::ScoreTable scores;
    show::GiftTally gifts;
    hosting::ScenarioEvent gift;
    gift.kind = hosting::ActionKind::Gift;
    gift.giftCount = 1;
    for (int i = 0; i < scorers; ++i) {
        const std::string who = "viewer" + std::to_string(i) + "(" + std::to_string(i) + ")";
        for (int p = 0; p <= i % 5; ++p)
            scores.AddPoint(who);
        gift.viewer = {static_cast<std::uint32_t>(i), u"viewer"};
        gift.giftValue = static_cast<std::uint16_t>(i % 100);
        gifts.Add(gift);
    }
    for (auto _ : state) {
        show::StateParts parts;
        parts.mode = hosting::GameMode::Challenge;
        parts.ranking = scores.Top(show::kStateTop);
        parts.scorers = scores.Count();
        parts.players = &gifts;
        benchmark::DoNotOptimize(show::StateDocument(std::move(parts)).dump());
    }
}

// A connection that sent half a request head and then nothing.
int SlowClient(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        constexpr std::string_view kHalf = "GET /state HTTP/1.1\r\nHost: x\r\nX-Slow: ";
        ::send(fd, kHalf.data(), kHalf.size(), MSG_NOSIGNAL);
    }
    return fd;
}

// A chat bot's poll on a connection of its own, while `slow` clients hold theirs.
void Poll(benchmark::State& state, int slow) {
    show::http::Server server;
    server.Get("/state", [](const show::http::Request&, show::http::Response& response) {
        response.SetContent("{}", "application/json");
    });
    std::string error;
    if (!server.Start("127.0.0.1", 0, error)) return state.SkipWithError(error.c_str());
    std::vector<int> held;
    for (int i = 0; i < slow; ++i)
        held.push_back(SlowClient(server.Port()));
    for (auto _ : state) {
        httplib::Client client("127.0.0.1", server.Port());
        client.set_read_timeout(5);
        const auto reply = client.Get("/state");
        if (!reply || reply->status != 200) {
            state.SkipWithError("the poll was not answered");
            break;
        }
    }
    state.counters["connections"] = static_cast<double>(server.Connections());
    server.Stop();
    for (const int fd : held)
        ::close(fd);
}

} // namespace

BENCHMARK_CAPTURE(State, reference, 10)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(State, scorers_100000, 100000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Poll, reference, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Poll, slow_500, 500)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
