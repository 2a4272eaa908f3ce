// The chat sources against real servers on loopback: Debian's ngircd for plain IRC (restarted
// mid-show), and a local TLS server with a certificate made for the test that speaks Twitch's
// lines (tags, bits, subscriptions, PING, RECONNECT) and some it should not (a line too long,
// text that is not UTF-8). Every wait is bounded.

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <gtest/gtest.h>

#include "platform/utf.h"
#include "show/chat/chat_sources.h"
#include "show/chat/irc_source.h"
#include "show/chat_support.h"

namespace {

namespace asio = boost::asio;
namespace fs = std::filesystem;
using asio::ip::tcp;
using namespace std::chrono_literals;
using namespace show::chat;
using chat_test::FreePort;
using chat_test::IrcServer;
using chat_test::SayOnIrc;
using chat_test::WaitFor;

// A show that keeps what it is offered.
class ShowStub final : public show::ShowControl {
public:
    show::Delivery OfferViewerEvent(hosting::ScenarioEvent event) override {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
        return {};
    }
    show::Delivery ApplyPresenterAction(const hosting::ScenarioEvent&) override { return {}; }
    nlohmann::json State(std::size_t) override { return {}; }

    std::vector<hosting::ScenarioEvent> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    // The first chat event whose text is `text`, waiting up to `most` for it.
    std::optional<hosting::ScenarioEvent> WaitForChat(const std::string& text,
                                                      std::chrono::milliseconds most = 15s) {
        for (auto waited = 0ms;; waited += 50ms) {
            for (const auto& event : Events())
                if (event.kind == hosting::ActionKind::Chat && Utf16ToUtf8(event.text) == text)
                    return event;
            if (waited >= most) return std::nullopt;
            std::this_thread::sleep_for(50ms);
        }
    }

private:
    std::mutex mutex_;
    std::vector<hosting::ScenarioEvent> events_;
};

// Makes a certificate for localhost in `dir` (cert.pem, key.pem) and has TLS clients made from
// now on trust it.
bool TrustNewCertificate(const fs::path& dir) {
    const std::string make =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
        "-addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout '" +
        (dir / "key.pem").string() + "' -out '" + (dir / "cert.pem").string() + "' 2>/dev/null";
    if (std::system(make.c_str()) != 0) return false;
    setenv("SSL_CERT_FILE", (dir / "cert.pem").c_str(), 1);
    return true;
}

TEST(ChatSources, AnIrcChannelsChatReachesTheShowAndSurvivesTheServerRestarting) {
    ASSERT_TRUE(fs::exists("/usr/sbin/ngircd")) << "ngircd is missing (scripts/setup installs it)";
    const fs::path dir = fs::path(::testing::TempDir()) / "askgame-ngircd";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const int port = FreePort();
    IrcServer server(dir, port);
    ShowStub show;
    ChatSources sources(show, "", {});
    std::string error;
    ASSERT_TRUE(sources.Add("irc://127.0.0.1:" + std::to_string(port) + "/%23quiz", error))
        << error;
    sources.Start();
    auto state = [&] { return sources.Json()[0]["state"].get<std::string>(); };
    ASSERT_TRUE(WaitFor([&] { return state() == "live"; })) << sources.Json().dump();

    SayOnIrc(port, "Kim", "Pacific");
    const auto first = show.WaitForChat("Pacific");
    ASSERT_TRUE(first) << sources.Json().dump();
    EXPECT_EQ(first->viewer.name, u"Kim");

    server.Stop();
    ASSERT_TRUE(WaitFor([&] { return state() != "live"; })) << sources.Json().dump();
    EXPECT_NE(sources.Line().find("retrying"), std::string::npos) << sources.Line();
    server.Start();
    ASSERT_TRUE(WaitFor([&] { return state() == "live"; }, 30s)) << sources.Json().dump();
    SayOnIrc(port, "kim", "Atlantic");
    const auto second = show.WaitForChat("Atlantic");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->viewer.id, first->viewer.id) << "the same nick is the same viewer";
    EXPECT_EQ(sources.Json()[0]["messages"], 2);
    sources.Stop();
}

// A TLS server speaking Twitch's lines to each connection `script` names, one after another.
class TwitchLikeServer {
public:
    using Script = std::function<void(asio::ssl::stream<tcp::socket>&, const std::string& nick)>;

    TwitchLikeServer(const fs::path& dir, std::vector<Script> scripts)
        : tls_(asio::ssl::context::tls_server),
          acceptor_(io_, {asio::ip::make_address("127.0.0.1"), 0}) {
        tls_.use_certificate_chain_file((dir / "cert.pem").string());
        tls_.use_private_key_file((dir / "key.pem").string(), asio::ssl::context::pem);
        thread_ = std::thread([this, scripts = std::move(scripts)] {
            for (const Script& script : scripts) {
                try {
                    asio::ssl::stream<tcp::socket> stream(acceptor_.accept(), tls_);
                    stream.handshake(asio::ssl::stream_base::server);
                    std::string nick = LogIn(stream);
                    script(stream, nick);
                    ++served_;
                } catch (const std::exception& e) {
                    failure_ = e.what();
                    return;
                }
            }
        });
    }
    ~TwitchLikeServer() {
        boost::system::error_code ignored;
        acceptor_.close(ignored);
        thread_.join();
    }
    int Port() const { return acceptor_.local_endpoint().port(); }
    int Served() const { return served_; }
    std::string Failure() const { return failure_; }

    static void Send(asio::ssl::stream<tcp::socket>& stream, const std::string& line) {
        asio::write(stream, asio::buffer(line + "\r\n"));
    }
    // Reads lines until one starts with `prefix`, which it answers.
    static std::string Expect(asio::ssl::stream<tcp::socket>& stream, const std::string& prefix) {
        std::string buffer;
        for (int i = 0; i < 20; ++i) {
            const std::size_t end = asio::read_until(stream, asio::dynamic_buffer(buffer), "\r\n");
            std::string line = buffer.substr(0, end - 2);
            buffer.erase(0, end);
            if (line.rfind(prefix, 0) == 0) return line;
        }
        throw std::runtime_error("no " + prefix);
    }

private:
    static std::string LogIn(asio::ssl::stream<tcp::socket>& stream) {
        const std::string nick = Expect(stream, "NICK ").substr(5);
        Send(stream, ":tmi.twitch.tv CAP * ACK :twitch.tv/tags twitch.tv/commands");
        Send(stream, ":tmi.twitch.tv 001 " + nick + " :Welcome, GLHF!");
        Expect(stream, "JOIN #quiz");
        Send(stream, ":" + nick + "!" + nick + "@" + nick + ".tmi.twitch.tv JOIN #quiz");
        return nick;
    }

    asio::io_context io_;
    asio::ssl::context tls_;
    tcp::acceptor acceptor_;
    std::atomic<int> served_{0};
    std::string failure_;
    std::thread thread_;
};

TEST(ChatSources, TwitchsTaggedLinesOverTlsBecomeViewersGiftsAndAReconnect) {
    const fs::path dir = fs::path(::testing::TempDir()) / "askgame-twitch-tls";
    fs::remove_all(dir);
    fs::create_directories(dir);
    ASSERT_TRUE(TrustNewCertificate(dir));

    using Stream = asio::ssl::stream<tcp::socket>;
    TwitchLikeServer server(
        dir,
        {[](Stream& s, const std::string&) {
             TwitchLikeServer::Send(
                 s, "@display-name=Ann;user-id=7001 :ann!ann@ann.tmi.twitch.tv PRIVMSG #quiz :B");
             TwitchLikeServer::Send(s, "@bits=300;display-name=Bo;user-id=7002 "
                                       ":bo!bo@bo.tmi.twitch.tv PRIVMSG #quiz :Cheer300");
             TwitchLikeServer::Send(s, "@msg-id=sub;msg-param-sub-plan=1000;display-name=Cy;user-"
                                       "id=7003 :tmi.twitch.tv USERNOTICE #quiz");
             TwitchLikeServer::Send(s, "@user-id=7004 :dd!dd@dd PRIVMSG #quiz :" +
                                           std::string(20000, 'x'));
             TwitchLikeServer::Send(
                 s, "@display-name=Ed;user-id=7005 :ed!ed@ed PRIVMSG #quiz :bad \xff text");
             TwitchLikeServer::Send(s, ":only.a.prefix");
             TwitchLikeServer::Send(s, "PING :tmi.twitch.tv");
             TwitchLikeServer::Expect(s, "PONG :tmi.twitch.tv");
             TwitchLikeServer::Send(s, ":tmi.twitch.tv RECONNECT");
             boost::system::error_code ignored;
             std::string rest;
             asio::read(s, asio::dynamic_buffer(rest), ignored); // the client leaves
         },
         [](Stream& s, const std::string&) {
             TwitchLikeServer::Send(s, "@display-name=Ann;user-id=7001 :ann!ann@ann.tmi.twitch.tv "
                                       "PRIVMSG #quiz :after the reconnect");
             boost::system::error_code ignored;
             std::string rest;
             asio::read(s, asio::dynamic_buffer(rest), ignored);
         }});

    ShowStub show;
    ChatOptions options;
    options.values.sub = 500;
    ChatSources sources(show, "", options);
    std::string error;
    ASSERT_TRUE(sources.Add("ircs://localhost:" + std::to_string(server.Port()) + "/quiz", error))
        << error;
    sources.Start();
    const auto after = show.WaitForChat("after the reconnect");
    ASSERT_TRUE(after) << sources.Json().dump() << server.Failure();
    const auto first = show.WaitForChat("B");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->viewer.name, u"Ann");
    EXPECT_EQ(after->viewer.id, first->viewer.id) << "Twitch's user-id keeps the viewer's id";

    int worth = 0;
    for (const auto& event : show.Events())
        if (event.kind == hosting::ActionKind::Gift) worth += event.giftCount * event.giftValue;
    EXPECT_EQ(worth, 300 + 500) << "bits and a tier-1 sub";
    EXPECT_TRUE(show.WaitForChat("bad \xEF\xBF\xBD text")) << "delivered, repaired";
    const auto status = sources.Json()[0];
    EXPECT_EQ(status["bad"], 3) << status.dump()
                                << " (the long line, the bad UTF-8, the non-IRC line)";
    EXPECT_EQ(status["gifts"], 2);
    EXPECT_EQ(status["state"], "live");
    sources.Stop();
    unsetenv("SSL_CERT_FILE");
}

TEST(ChatSources, AServerThatNeverAnswersIsRetriedAndStoppingIsQuick) {
    asio::io_context io;
    tcp::acceptor silent(io, {asio::ip::make_address("127.0.0.1"), 0}); // accepts, never speaks
    ShowStub show;
    ChatSources sources(show, "", {});
    std::string error;
    ASSERT_TRUE(sources.Add(
        "irc://127.0.0.1:" + std::to_string(silent.local_endpoint().port()) + "/quiz", error));
    sources.Start();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sources.Json()[0]["state"], "connecting");
    const auto before = std::chrono::steady_clock::now();
    sources.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
}

// A YouTube live chat through a local HTTPS stand-in for the Data API: messages already there are
// not judged, text is chat, Super Chats and Stickers are gifts at 100 points a currency unit, a
// quota refusal is retried, and the chat's end fails the source saying so.
TEST(ChatSources, AYouTubeLiveChatIsReadPageByPageThroughQuotaToItsEnd) {
    const fs::path dir = fs::path(::testing::TempDir()) / "askgame-youtube";
    fs::remove_all(dir);
    fs::create_directories(dir);
    ASSERT_TRUE(TrustNewCertificate(dir));
    const fs::path portFile = dir / "port";
    const std::string stub = std::string(ASKGAME_SOURCE_DIR) + "/tests/show/youtube_api_stub.py";
    std::vector<std::string> argv = {"/usr/bin/python3", stub, (dir / "cert.pem").string(),
                                     (dir / "key.pem").string(), portFile.string()};
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    pid_t api = -1;
    ASSERT_EQ(posix_spawn(&api, args[0], nullptr, nullptr, args.data(), environ), 0);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(portFile); }));
    int port = 0;
    std::ifstream(portFile) >> port;

    ShowStub show;
    ChatOptions options;
    options.youtubeKey = "test-key";
    options.youtubeApi = "https://localhost:" + std::to_string(port);
    ChatSources sources(show, "", options);
    std::string error;
    ASSERT_TRUE(sources.Add("youtube:live1", error)) << error;
    ASSERT_TRUE(sources.Add("youtube:gone", error)) << error;
    sources.Start();
    const auto after = show.WaitForChat("after the quota");
    ASSERT_TRUE(after) << sources.Json().dump();
    EXPECT_TRUE(show.WaitForChat("B"));
    EXPECT_FALSE(show.WaitForChat("before", 0ms)) << "a message from before the show was judged";
    int worth = 0;
    for (const auto& event : show.Events())
        if (event.kind == hosting::ActionKind::Gift) worth += event.giftCount * event.giftValue;
    EXPECT_EQ(worth, 500 + 200);
    ASSERT_TRUE(WaitFor([&] { return sources.Json()[0]["state"] == "failed"; }));
    const auto live = sources.Json()[0];
    EXPECT_EQ(live["why"], "the live chat ended");
    EXPECT_EQ(live["messages"], 2);
    EXPECT_EQ(live["gifts"], 2);
    EXPECT_EQ(live["bad"], 1) << "the message without its author";
    const auto gone = sources.Json()[1];
    EXPECT_EQ(gone["state"], "failed");
    EXPECT_NE(gone["why"].get<std::string>().find("no live chat"), std::string::npos) << gone;
    sources.Stop();
    kill(api, SIGTERM);
    waitpid(api, nullptr, 0);
    unsetenv("SSL_CERT_FILE");

    ChatSources keyless(show, "", ChatOptions{});
    EXPECT_FALSE(keyless.Add("youtube:live1", error));
    EXPECT_NE(error.find("needs a YouTube Data API key"), std::string::npos) << error;
    EXPECT_FALSE(keyless.Add("youtube:not/an id", error));
}

} // namespace
