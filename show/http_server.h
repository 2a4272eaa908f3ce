// The show's HTTP/1.1 server, built for a hostile network. One thread runs every connection as
// a small state machine with deadlines, so an idle or slow client costs a few kilobytes and never
// a thread; a request reaches its handler only once its head is within the limits and the guard
// (the show's token) has let it in, and handlers run on a few threads of their own, as they may
// wait (a presenter's action waits for the panel). Stop() cuts every connection at once: nothing
// a client does can hold the server open.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace show::http {

struct Request {
    std::string method; // "GET", "POST", ...
    std::string path;   // the target without its query
    std::string query;  // after '?', as sent
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string remote; // the client's address
    // The matched route may be opened from a link (a browser's address bar, an EventSource),
    // which can carry no header of its own.
    bool linkable = false;

    // A header's value by name, in any letter case; empty when absent.
    std::string_view Header(std::string_view name) const;
    bool HasParam(std::string_view name) const;
    // A query parameter, percent-decoded; empty when absent.
    std::string Param(std::string_view name) const;
};

struct Response {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // A stream instead of a body (Server-Sent Events): called again and again on a thread of
    // its own, each text it returns sent as it comes, until it returns nothing or the client or
    // the server goes. It may wait a while for something to send, not long (a keep-alive tick).
    std::function<std::optional<std::string>()> stream;

    void SetContent(std::string text, std::string type);
    void SetHeader(std::string name, std::string value);
    // A plain-text answer of one line.
    void Text(int code, std::string_view line);
    void Redirect(std::string location);
};

using Handler = std::function<void(const Request&, Response&)>;
// Looks at a request once its head is read and its route is known, before its body is read:
// nothing lets it in, a response refuses it (and the connection then closes).
using Guard = std::function<std::optional<Response>(const Request&)>;

struct Limits {
    std::size_t headBytes = 16 * 1024;     // request line and headers together
    std::size_t bodyBytes = 1024 * 1024;   // a body beyond it is answered 413 unread
    std::chrono::milliseconds head{10000}; // from the end of the last request to a whole head
    std::chrono::milliseconds body{30000}; // to read a body once its head is in
    std::chrono::milliseconds write{10000};
    std::size_t connections = 1024; // open at once; more are closed on arrival
    std::size_t connectionsPerClient = 768;
    std::size_t queuedRequests = 256; // waiting for a handler thread; more are answered 503
    int handlerThreads = 4;
    std::size_t streamBacklog = 64; // texts a stream's client has not taken; more: it is cut
};

// What the server turned away, since it started.
struct Refusals {
    std::uint64_t connections = 0; // over a connection limit
    std::uint64_t deadlines = 0;   // a head, body or write not done in time
    std::uint64_t oversized = 0;   // a head or body over its limit
    std::uint64_t busy = 0;        // no handler thread free in time
};

class Session;

class Server {
public:
    explicit Server(Limits limits = {});
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    // Stop().
    ~Server();

    // Routes by exact path, and the guard; before Start().
    void Get(std::string path, Handler handler, bool linkable = false);
    void Post(std::string path, Handler handler);
    void SetGuard(Guard guard);

    // Binds ADDRESS:PORT (port 0: any free one) and serves. False, with the reason, when the
    // address cannot be bound (in use, or not this machine's).
    bool Start(const std::string& address, int port, std::string& error);
    // Closes every connection and waits for the handlers running. Idempotent.
    void Stop();

    int Port() const;
    std::size_t Connections() const;
    Refusals Refused() const;

private:
    class Impl;
    friend class Session; // a connection, inside the server
    std::unique_ptr<Impl> impl_;
};

} // namespace show::http
