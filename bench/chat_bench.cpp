// How fast viewers' messages reach the game from a chat platform, beside the endpoint's own
// intake of the same messages, measured in one run. Each iteration hands the show 1,000 chat
// messages from distinct viewers and waits until the show was offered the last:
//
// Chat/reference_endpoint: posted to /api/chat one after another on one kept-alive
// connection, as a relay would.
// Chat/irc_source: sent as Twitch-tagged PRIVMSG lines by a local IRC server to the show's
// IRC source (plain TCP), which reads, parses, gives each viewer an id and offers it.
#include <atomic>
#include <string>
#include <thread>
#include <utility>

#include <benchmark/benchmark.h>
#include <boost/asio.hpp>
#include <httplib.h>

#include "show/chat/chat_sources.h"
#include "show/endpoint.h"

namespace {

namespace asio = boost::asio;
using asio::ip::tcp;

constexpr int kBatch = 1000;

// A show that counts what it is offered.
class CountingShow final : public show::ShowControl {
public:
    show::Delivery OfferViewerEvent(hosting::ScenarioEvent) override {
        offered.fetch_add(1, std::memory_order_release);
        return {};
    }
    show::Delivery ApplyPresenterAction(const hosting::ScenarioEvent&) override { return {}; }
    nlohmann::json State(std::size_t) override { return {}; }

    std::atomic<long> offered{0};
};

void WaitUntil(const CountingShow& show, long count) {
    while (show.offered.load(std::memory_order_acquire) < count)
        std::this_thread::yield();
}

void Endpoint(benchmark::State& state) {
    CountingShow show;
    show::EndpointOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    options.token = "bench-token";
    show::Endpoint endpoint(show, options);
    std::string error;
    if (!endpoint.Start(error)) return state.SkipWithError(error.c_str());
    httplib::Client client("127.0.0.1", endpoint.Port());
    client.set_bearer_token_auth("bench-token");
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    long viewer = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i, ++viewer) {
            const auto reply = client.Post("/api/chat",
                                           R"({"id": )" + std::to_string(viewer) +
                                               R"(, "name": "v", "text": "B"})",
                                           "application/json");
            if (!reply || reply->status != 200) return state.SkipWithError("a post was refused");
        }
        WaitUntil(show, viewer);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    endpoint.Stop();
}

void IrcSource(benchmark::State& state) {
    asio::io_context io;
    tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
    CountingShow show;
    show::chat::ChatSources sources(show, "", {});
    std::string error;
    if (!sources.Add(
            "irc://127.0.0.1:" + std::to_string(acceptor.local_endpoint().port()) + "/quiz", error))
        return state.SkipWithError(error.c_str());
    sources.Start();
    // The server's side of the login: welcome, then the join echoed.
    tcp::socket server = acceptor.accept();
    std::string heard;
    asio::read_until(server, asio::dynamic_buffer(heard), "USER ");
    const std::size_t nickAt = heard.find("NICK ") + 5;
    const std::string nick = heard.substr(nickAt, heard.find('\r', nickAt) - nickAt);
    asio::write(server, asio::buffer(":irc.bench 001 " + nick + " :Welcome\r\n"));
    asio::read_until(server, asio::dynamic_buffer(heard), "JOIN #quiz");
    asio::write(server, asio::buffer(":" + nick + "!" + nick + "@bench JOIN #quiz\r\n"));

    long viewer = 0;
    for (auto _ : state) {
        std::string lines;
        for (int i = 0; i < kBatch; ++i, ++viewer)
            lines += "@display-name=v;user-id=" + std::to_string(viewer) +
                     " :v!v@v.tmi.twitch.tv PRIVMSG #quiz :B\r\n";
        asio::write(server, asio::buffer(lines));
        WaitUntil(show, viewer);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    sources.Stop();
}

} // namespace

BENCHMARK(Endpoint)->Name("Chat/reference_endpoint")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(IrcSource)->Name("Chat/irc_source")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
