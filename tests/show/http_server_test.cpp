// The show's HTTP server as a hostile network meets it: idle, slow and oversized clients, more
// connections than it takes, and a show that ends while they hang on. Loopback only; every wait
// is bounded.
#include "show/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

namespace {

using namespace std::chrono_literals;
using show::http::Limits;
using show::http::Request;
using show::http::Response;
using show::http::Server;

// A raw connection, for clients no library would write.
class Socket {
public:
    explicit Socket(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() { ::close(fd_); }

    bool Connected() const { return connected_; }
    void Send(const std::string& bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // What arrives until the server closes or `wait` passes.
    std::string ReadUntilClosed(std::chrono::milliseconds wait = 5s) {
        std::string got;
        const auto until = std::chrono::steady_clock::now() + wait;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            pollfd ready{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
                return got;
            char buffer[4096];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed_ = true;
                return got;
            }
            got.append(buffer, static_cast<std::size_t>(n));
        }
    }
    bool Closed() const { return closed_; }

private:
    int fd_ = -1;
    bool connected_ = false;
    bool closed_ = false;
};

class HttpServerTest : public ::testing::Test {
protected:
    void Serve(Limits limits = {}) {
        server_ = std::make_unique<Server>(limits);
        server_->Get("/hello", [](const Request& request, Response& response) {
            response.SetContent("hello " + request.Param("who"), "text/plain");
        });
        server_->Post("/echo", [](const Request& request, Response& response) {
            response.SetContent(request.body, "text/plain");
        });
        std::string error;
        ASSERT_TRUE(server_->Start("127.0.0.1", 0, error)) << error;
    }

    // A well-behaved client's GET, as a chat bot polls the state.
    httplib::Result Poll(const char* path = "/hello?who=a%20b") {
        httplib::Client client("127.0.0.1", server_->Port());
        client.set_connection_timeout(5);
        client.set_read_timeout(5);
        return client.Get(path);
    }

    std::unique_ptr<Server> server_;
};

TEST_F(HttpServerTest, IdleAndSlowConnectionsDoNotHoldUpAClient) {
    Serve();
    std::vector<std::unique_ptr<Socket>> attackers;
    for (int i = 0; i < 40; ++i) // connected, silent
        attackers.push_back(std::make_unique<Socket>(server_->Port()));
    for (int i = 0; i < 500; ++i) { // a head begun and never ended
        attackers.push_back(std::make_unique<Socket>(server_->Port()));
        attackers.back()->Send("GET /hello HTTP/1.1\r\nHost: x\r\nX-Slow: ");
    }
    for (const auto& attacker : attackers)
        ASSERT_TRUE(attacker->Connected());
    for (int i = 0; i < 5; ++i) {
        const auto answer = Poll();
        ASSERT_TRUE(answer) << "poll " << i << " was not answered";
        EXPECT_EQ(answer->body, "hello a b");
    }
    EXPECT_GE(server_->Connections(), 540u);

    // The show ends however many hang on: every connection is cut at once.
    auto stopped = std::async(std::launch::async, [this] { server_->Stop(); });
    ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(attackers.back()->ReadUntilClosed(1s).empty());
    EXPECT_TRUE(attackers.back()->Closed());
}

TEST_F(HttpServerTest, AHeadOrBodyOverItsLimitIsAnsweredUnreadAndCounted) {
    Limits limits;
    limits.bodyBytes = 1000;
    Serve(limits);
    Socket huge(server_->Port());
    huge.Send("GET /hello HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(20000, 'a') + "\r\n\r\n");
    EXPECT_EQ(huge.ReadUntilClosed().rfind("HTTP/1.1 431", 0), 0u);
    EXPECT_TRUE(huge.Closed());

    httplib::Client client("127.0.0.1", server_->Port());
    client.set_read_timeout(5);
    const auto tooLarge = client.Post("/echo", std::string(1001, 'b'), "text/plain");
    ASSERT_TRUE(tooLarge);
    EXPECT_EQ(tooLarge->status, 413);
    const auto fits = client.Post("/echo", std::string(1000, 'b'), "text/plain");
    ASSERT_TRUE(fits);
    EXPECT_EQ(fits->body.size(), 1000u);
    EXPECT_EQ(server_->Refused().oversized, 2u);
}

TEST_F(HttpServerTest, AHeadNotDoneInTimeIsCutAndConnectionsBeyondTheLimitAreClosed) {
    Limits limits;
    limits.head = 200ms;
    limits.connections = 3;
    Serve(limits);
    Socket slow(server_->Port());
    slow.Send("GET /hello HTTP/1.1\r\n");
    EXPECT_TRUE(slow.ReadUntilClosed(3s).empty());
    EXPECT_TRUE(slow.Closed()) << "the head's deadline passed";
    // The connection closes as the deadline passes; the count follows a moment later.
    for (int i = 0; i < 100 && server_->Refused().deadlines == 0; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(server_->Refused().deadlines, 1u);

    std::vector<std::unique_ptr<Socket>> held;
    for (int i = 0; i < 3; ++i)
        held.push_back(std::make_unique<Socket>(server_->Port()));
    Socket extra(server_->Port());
    extra.ReadUntilClosed(1s);
    EXPECT_TRUE(extra.Closed()) << "one connection too many";
    EXPECT_GE(server_->Refused().connections, 1u);
}

TEST_F(HttpServerTest, AGuardSeesTheHeadBeforeTheBodyAndStreamsSendAsTheyGo) {
    server_ = std::make_unique<Server>();
    int bodiesRead = 0;
    server_->Post("/echo", [&](const Request& request, Response& response) {
        ++bodiesRead;
        response.SetContent(request.body, "text/plain");
    });
    server_->Get(
        "/count",
        [](const Request&, Response& response) {
            response.contentType = "text/event-stream";
            response.stream = [n = 0]() mutable -> std::optional<std::string> {
                if (n == 3) return std::nullopt;
                return "data: " + std::to_string(++n) + "\n\n";
            };
        },
        true);
    server_->SetGuard([](const Request& request) -> std::optional<Response> {
        if (request.Header("authorization") == "let me" || request.linkable) return std::nullopt;
        Response refusal;
        refusal.Text(403, "no");
        return refusal;
    });
    std::string error;
    ASSERT_TRUE(server_->Start("127.0.0.1", 0, error)) << error;

    httplib::Client client("127.0.0.1", server_->Port());
    client.set_read_timeout(5);
    EXPECT_EQ(client.Post("/echo", "x", "text/plain")->status, 403);
    EXPECT_EQ(bodiesRead, 0);
    EXPECT_EQ(client.Post("/echo", {{"Authorization", "let me"}}, "x", "text/plain")->body, "x");
    EXPECT_EQ(client.Get("/nowhere", {{"Authorization", "let me"}})->status, 404);
    const auto counted = client.Get("/count");
    ASSERT_TRUE(counted);
    EXPECT_EQ(counted->body, "data: 1\n\ndata: 2\n\ndata: 3\n\n");
}

} // namespace
