#include "show/chat/irc_source.h"

#include <deque>
#include <random>
#include <utility>

#include "show/chat/network_io.h"

namespace show::chat {

namespace asio = boost::asio;
using asio::awaitable;
using asio::use_awaitable;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

// How long connecting, the TLS handshake and logging in may take.
constexpr std::chrono::seconds kConnectTimeout{15};
constexpr std::chrono::seconds kWatchTick{1};

// A session's end, with the reason the status shows.
struct SessionEnd {
    std::string why;
};

// Twitch lets "justinfan" and digits read anonymously; other servers get a nick short enough
// for the nine characters the IRC standard promises.
std::string AnonymousNick(bool twitch) {
    std::random_device random;
    const std::string digits = std::to_string(10000 + random() % 90000);
    return (twitch ? "justinfan" : "quiz") + digits;
}

} // namespace

// One connection, from connecting to its end: a reader (this coroutine), a writer draining the
// lines to send, and a watchdog that closes the connection when the server goes quiet or the
// source stops. All three run on the source's one thread.
class IrcSource::Session : public std::enable_shared_from_this<Session> {
public:
    Session(IrcSource& source, NetworkIo& io)
        : source_(source), io_(io), socket_(io.context), tick_(io.context) {}

    awaitable<void> Run() {
        auto self = shared_from_this();
        asio::co_spawn(socket_.get_executor(), Watch(self), asio::detached);
        try {
            co_await Connect();
            co_await Read();
        } catch (const boost::system::system_error& e) {
            if (why_.empty()) why_ = e.code().message();
        }
        ended_ = true;
        Close();
        if (why_.empty()) why_ = "the server closed the connection";
        throw SessionEnd{why_};
    }

    bool WasLive() const { return live_; }

private:
    const IrcTarget& target() const { return source_.target_; }

    awaitable<void> Connect() {
        tcp::resolver resolver(socket_.get_executor());
        const auto endpoints = co_await resolver.async_resolve(
            target().host, std::to_string(target().port), use_awaitable);
        co_await asio::async_connect(socket_, endpoints, use_awaitable);
        if (target().tls) {
            tls_.emplace(socket_, io_.tls);
            SSL_set_tlsext_host_name(tls_->native_handle(), target().host.c_str());
            tls_->set_verify_mode(asio::ssl::verify_peer);
            tls_->set_verify_callback(asio::ssl::host_name_verification(target().host));
            co_await tls_->async_handshake(asio::ssl::stream_base::client, use_awaitable);
        }
        nick_ = AnonymousNick(target().twitch);
        Send("CAP REQ :twitch.tv/tags twitch.tv/commands");
        Send("NICK " + nick_);
        Send("USER " + nick_ + " 0 * :askgame");
    }

    awaitable<void> Read() {
        std::string buffer;
        char chunk[16 * 1024];
        bool skipping = false; // inside a line too long to keep
        for (;;) {
            const std::size_t got =
                tls_ ? co_await tls_->async_read_some(asio::buffer(chunk), use_awaitable)
                     : co_await socket_.async_read_some(asio::buffer(chunk), use_awaitable);
            heard_ = Clock::now();
            pinged_ = false;
            buffer.append(chunk, got);
            std::size_t start = 0;
            for (std::size_t end; (end = buffer.find('\n', start)) != std::string::npos;
                 start = end + 1) {
                std::string_view line(buffer.data() + start, end - start);
                if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
                if (skipping)
                    skipping = false;
                else
                    Heard(line);
                if (source_.Stopping()) co_return;
            }
            buffer.erase(0, start);
            if (buffer.size() > kMaxIrcLineBytes) {
                if (!skipping)
                    source_.CountBad("a line longer than " + std::to_string(kMaxIrcLineBytes) +
                                     " bytes");
                skipping = true;
                buffer.clear();
            }
        }
    }

    void Heard(std::string_view text) {
        if (text.empty()) return;
        const std::optional<IrcLine> line = ParseIrcLine(text);
        if (!line) return source_.CountBad("a line that is not IRC");
        const std::string& command = line->command;
        if (command == "PING") {
            Send("PONG :" + (line->params.empty() ? std::string() : line->params.back()));
        } else if (command == "CAP") {
            Send("CAP END"); // acknowledged or not, logging in goes on
        } else if (command == "001") {
            Send("JOIN #" + target().channel);
        } else if (command == "432" || command == "433") { // the nick is refused or taken
            nick_ = AnonymousNick(target().twitch);
            Send("NICK " + nick_);
        } else if (command == "JOIN" && line->Nick() == nick_) {
            live_ = true;
            source_.SetState("live");
        } else if (command == "RECONNECT") {
            why_ = "the server asked to reconnect";
            Close();
        } else if (command == "ERROR") {
            why_ = "the server said: " +
                   (line->params.empty() ? std::string("ERROR") : line->params.back());
        } else if (command == "471" || command == "473" || command == "474" || command == "475" ||
                   command == "403" || command == "405") {
            why_ = "cannot join #" + target().channel + ": " +
                   (line->params.empty() ? command : line->params.back());
            Close();
        } else {
            for (const PlatformEvent& event :
                 ViewerEventsOf(*line, target().platform, source_.values_))
                source_.Deliver(event, source_.StoppingFlag());
        }
    }

    void Send(std::string line) {
        out_.push_back(std::move(line) + "\r\n");
        if (writing_) return;
        writing_ = true;
        asio::co_spawn(socket_.get_executor(), Write(shared_from_this()), asio::detached);
    }

    static awaitable<void> Write(std::shared_ptr<Session> self) {
        try {
            while (!self->out_.empty() && !self->ended_) {
                const std::string line = std::move(self->out_.front());
                self->out_.pop_front();
                if (self->tls_)
                    co_await asio::async_write(*self->tls_, asio::buffer(line), use_awaitable);
                else
                    co_await asio::async_write(self->socket_, asio::buffer(line), use_awaitable);
            }
        } catch (const boost::system::system_error& e) {
            if (self->why_.empty()) self->why_ = e.code().message();
            self->Close();
        }
        self->writing_ = false;
    }

    // Once a second: closes the connection when the source stops, when connecting takes too
    // long, or when the server stays quiet after a PING.
    static awaitable<void> Watch(std::shared_ptr<Session> self) {
        const auto began = Clock::now();
        self->heard_ = began;
        while (!self->ended_) {
            self->tick_.expires_after(kWatchTick);
            boost::system::error_code ignored;
            co_await self->tick_.async_wait(asio::redirect_error(use_awaitable, ignored));
            if (self->ended_) co_return;
            const auto now = Clock::now();
            if (self->source_.Stopping()) {
                self->Close();
            } else if (!self->live_ && now - began > kConnectTimeout) {
                self->why_ = "no answer within " + std::to_string(kConnectTimeout.count()) + " s";
                self->Close();
            } else if (now - self->heard_ > 2 * kQuietPing) {
                self->why_ = "the server went quiet";
                self->Close();
            } else if (now - self->heard_ > kQuietPing && !self->pinged_) {
                self->pinged_ = true;
                self->Send("PING :askgame");
            }
        }
    }

    void Close() {
        boost::system::error_code ignored;
        socket_.shutdown(tcp::socket::shutdown_both, ignored);
        socket_.close(ignored);
    }

    IrcSource& source_;
    NetworkIo& io_;
    tcp::socket socket_;
    std::optional<asio::ssl::stream<tcp::socket&>> tls_;
    asio::steady_timer tick_;
    std::deque<std::string> out_;
    bool writing_ = false;
    bool ended_ = false;
    bool live_ = false;
    bool pinged_ = false;
    Clock::time_point heard_ = Clock::now();
    std::string nick_;
    std::string why_;
};

IrcSource::IrcSource(std::string label, IrcTarget target, GiftValues values, ShowControl& show,
                     ViewerDirectory& viewers)
    : NetworkSource(std::move(label), show, viewers), target_(std::move(target)), values_(values) {}

IrcSource::~IrcSource() {
    Stop();
}

void IrcSource::Spawn(NetworkIo& io) {
    asio::co_spawn(
        io.context,
        [this, &io]() -> awaitable<void> {
            auto wait = std::chrono::seconds(kFirstRetry);
            asio::steady_timer pause(io.context);
            while (!Stopping()) {
                auto session = std::make_shared<Session>(*this, io);
                std::string why;
                try {
                    co_await session->Run();
                } catch (const SessionEnd& end) {
                    why = end.why;
                }
                if (Stopping()) break;
                if (session->WasLive()) wait = kFirstRetry;
                SetState("retrying", why + "; again in " + std::to_string(wait.count()) + " s");
                pause.expires_after(wait);
                co_await pause.async_wait(use_awaitable);
                wait = std::min(wait * 2, std::chrono::seconds(kLongestRetry));
                SetState("connecting", why);
            }
        },
        asio::detached);
}

} // namespace show::chat
