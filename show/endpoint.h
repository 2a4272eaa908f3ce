// The show's HTTP endpoint on a local address: viewers' chat and gifts, the presenter's panel
// actions and the state, every request checked against the show's token.
//
//   POST /api/chat   POST /api/gift   POST /api/panel   GET /api/state
//   POST /api/round  (the question's clock)   POST /api/moderate  (ignoring a viewer)
//
// A panel action's {"bank": NAME} opens only a file directly in the banks folder. A panel action
// is done after the game has judged the viewers' events posted before it, so a client that posts
// chat and then the next question has the chat judged against the question it answered.
//
// Other pieces add their own routes on Server() before Start(); the token check covers them too.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "show/bank_folder.h"
#include "show/http_server.h"
#include "show/live_events.h"
#include "show/show_control.h"

namespace show {

inline constexpr const char* kDefaultListenAddress = "127.0.0.1";
inline constexpr int kDefaultListenPort = 8719;
// The largest request body the server reads at all; the event routes take far less.
inline constexpr std::size_t kDefaultMaxRequestBytes = 1024 * 1024;
// How long a panel action waits at most for the viewers' events posted before it to be judged;
// when no frame comes in that time (the video has stopped), it is done all the same.
inline constexpr std::chrono::seconds kViewersFirstWait{2};

struct EndpointOptions {
    std::string address = kDefaultListenAddress;
    int port = kDefaultListenPort; // 0: any free port (see Endpoint::Port)
    std::string token;             // required on every request; must not be empty
    // The one folder a {"bank": NAME} action may open a file of, by plain name; empty: the
    // endpoint refuses bank actions. A request never names a path of its own.
    std::filesystem::path banks;
    std::size_t maxRequestBytes = kDefaultMaxRequestBytes;
};

class Endpoint {
public:
    Endpoint(ShowControl& control, EndpointOptions options);
    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;
    // Stop().
    ~Endpoint();

    // The server, for adding routes before Start(). Every route is behind the token check.
    http::Server& Server() { return server_; }

    // Binds the address and serves on a thread of its own. False, with the reason, when the
    // address cannot be bound or the options are unusable.
    bool Start(std::string& error);
    // Cuts every connection and waits for the requests in flight. Idempotent.
    void Stop();

    int Port() const { return port_; }
    const std::string& Token() const { return options_.token; }
    // "http://ADDRESS:PORT/?token=TOKEN", what a presenter opens.
    std::string Url() const;

private:
    void AddRoutes();
    // Offers a viewer's event, keeping its ticket.
    Delivery OfferViewer(hosting::ScenarioEvent event);
    // Applies a presenter's action once the viewers' events posted before it are judged.
    Delivery ApplyInOrder(const hosting::ScenarioEvent& event);
    // A panel action from a request body, its bank resolved inside the banks folder.
    ParsedEvent ReadPanel(std::string_view body) const;

    ShowControl& control_;
    EndpointOptions options_;
    BankFolder banks_;
    http::Server server_;
    int port_ = 0;
    std::atomic<std::uint64_t> lastViewerTicket_{0}; // the latest offer's
    std::atomic<bool> stopping_{false};
};

// True when the request carries `token` as "Authorization: Bearer TOKEN" (the scheme in any
// letter case), or as "?token=TOKEN" on a GET of a route a link may open. Compares in time
// independent of where the texts differ.
bool HasToken(const http::Request& request, std::string_view token);
// False for a request a page of another site made (its Origin is not this server), and on a
// loopback address for one whose Host is not a name of this machine.
bool IsSameSite(const http::Request& request, std::string_view listening, int port);
// A fresh random token: 32 hexadecimal digits.
std::string NewToken();
// "ADDR:PORT" or "[IPv6]:PORT" into its parts; false when malformed or the port is out of range.
bool ParseListenAddress(std::string_view text, std::string& address, int& port);
// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackAddress(std::string_view address);

} // namespace show
