#include "show/endpoint.h"

#include <charconv>
#include <chrono>
#include <random>

#include "show/live_events.h"

namespace show {

namespace {

using nlohmann::json;

constexpr const char* kPlainText = "text/plain; charset=utf-8";
constexpr const char* kJson = "application/json";
constexpr const char* kRetryAfterSeconds = "1";
constexpr auto kStartWaitStep = std::chrono::milliseconds(1);
constexpr int kStartWaitSteps = 2000;

void Reply(httplib::Response& response, int status, const std::string& reason) {
    response.status = status;
    response.set_content(reason + "\n", kPlainText);
}

void ReplyJson(httplib::Response& response, const json& body) {
    response.status = 200;
    // Texts from the panel or viewers that are not valid UTF-8 are replaced, never thrown on.
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace) + "\n", kJson);
}

void ReplyDelivery(httplib::Response& response, const Delivery& delivery) {
    switch (delivery.result) {
    case Delivery::Result::Accepted:
        ReplyJson(response, json{{"ok", true}});
        return;
    case Delivery::Result::Full:
        response.set_header("Retry-After", kRetryAfterSeconds);
        Reply(response, 503, delivery.reason.empty() ? "the queue is full" : delivery.reason);
        return;
    case Delivery::Result::Refused:
        Reply(response, 422, delivery.reason);
        return;
    case Delivery::Result::Closed:
        Reply(response, 503, delivery.reason.empty() ? "the show is ending" : delivery.reason);
        return;
    }
}

// Reads the body as one event and hands it on with `deliver`; a bad body is a 4xx.
template <typename Read, typename Deliver>
void HandleEvent(const httplib::Request& request, httplib::Response& response, Read read,
                 Deliver deliver) {
    if (request.body.size() > kMaxEventBytes) {
        Reply(response, 413,
              "the body is larger than " + std::to_string(kMaxEventBytes) + " bytes");
        return;
    }
    ParsedEvent parsed = read(request.body);
    if (!parsed.event) {
        Reply(response, 400, parsed.error);
        return;
    }
    ReplyDelivery(response, deliver(std::move(*parsed.event)));
}

// Equal texts, compared in a time that does not tell where they differ.
bool SameText(std::string_view given, std::string_view token) {
    if (token.empty() || given.size() != token.size()) return false;
    unsigned char differ = 0;
    for (std::size_t i = 0; i < token.size(); ++i)
        differ |= static_cast<unsigned char>(given[i] ^ token[i]);
    return differ == 0;
}

} // namespace

bool HasToken(const httplib::Request& request, std::string_view token) {
    static constexpr std::string_view kBearer = "Bearer ";
    const std::string header = request.get_header_value("Authorization");
    if (header.starts_with(kBearer) &&
        SameText(std::string_view(header).substr(kBearer.size()), token))
        return true;
    return request.has_param("token") && SameText(request.get_param_value("token"), token);
}

std::string NewToken() {
    std::random_device random;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i)
        token += kDigits[random() % 16];
    return token;
}

bool ParseListenAddress(std::string_view text, std::string& address, int& port) {
    std::string_view host;
    std::string_view rest;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return false;
        host = text.substr(1, close - 1);
        rest = text.substr(close + 2);
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string_view::npos) return false;
        host = text.substr(0, colon);
        rest = text.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) return false; // IPv6 needs brackets
    }
    int value = -1;
    const auto* end = rest.data() + rest.size();
    if (host.empty() || rest.empty() || std::from_chars(rest.data(), end, value).ptr != end ||
        value < 0 || value > 65535)
        return false;
    address = std::string(host);
    port = value;
    return true;
}

bool IsLoopbackAddress(std::string_view address) {
    return address == "localhost" || address == "::1" || address.starts_with("127.");
}

Endpoint::Endpoint(ShowControl& control, EndpointOptions options)
    : control_(control), options_(std::move(options)), banks_(options_.banks, {}) {
    server_.set_payload_max_length(options_.maxRequestBytes);
    // Replies are small and written in pieces; without this each waits on a delayed ACK.
    server_.set_tcp_nodelay(true);
    // The library's default also sets SO_REUSEPORT, which lets a second show bind the same port
    // unnoticed and take half the requests; a port in use must be an error instead.
    server_.set_socket_options([](socket_t socket) {
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // Every route, ours and those added later, answers only to the token.
    server_.set_pre_routing_handler([this](const httplib::Request& request,
                                           httplib::Response& response) {
        if (HasToken(request, options_.token)) return httplib::Server::HandlerResponse::Unhandled;
        Reply(response, 403, "a valid token is required (Authorization: Bearer TOKEN or ?token=)");
        return httplib::Server::HandlerResponse::Handled;
    });
    server_.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            Reply(response, 500, "the request failed inside the host");
        });
    AddRoutes();
}

Endpoint::~Endpoint() {
    Stop();
}

void Endpoint::AddRoutes() {
    server_.Post("/api/chat", [this](const httplib::Request& request, httplib::Response& response) {
        HandleEvent(request, response, ParseChat, [this](hosting::ScenarioEvent event) {
            return control_.OfferViewerEvent(std::move(event));
        });
    });
    server_.Post("/api/gift", [this](const httplib::Request& request, httplib::Response& response) {
        HandleEvent(request, response, ParseGift, [this](hosting::ScenarioEvent event) {
            return control_.OfferViewerEvent(std::move(event));
        });
    });
    server_.Post(
        "/api/panel", [this](const httplib::Request& request, httplib::Response& response) {
            HandleEvent(
                request, response, [this](std::string_view body) { return ReadPanel(body); },
                [this](const hosting::ScenarioEvent& event) {
                    return control_.ApplyPresenterAction(event);
                });
        });
    server_.Get("/api/state", [this](const httplib::Request&, httplib::Response& response) {
        ReplyJson(response, control_.State());
    });
}

ParsedEvent Endpoint::ReadPanel(std::string_view body) const {
    ParsedEvent parsed = ParsePanelAction(body, "");
    if (!parsed.event || parsed.event->kind != hosting::ActionKind::Bank) return parsed;
    // A bank is chosen by its name in the banks folder; any other path is refused unread.
    if (const auto path = banks_.Resolve(parsed.event->path)) {
        parsed.event->path = path->string();
        return parsed;
    }
    parsed.error = banks_.Folder().empty()
                       ? "this show has no banks folder to choose from (--banks DIR)"
                       : "\"" + parsed.event->path + "\" is not a file in the banks folder";
    parsed.event.reset();
    return parsed;
}

bool Endpoint::Start(std::string& error) {
    if (options_.token.empty()) {
        error = "the endpoint needs a token";
        return false;
    }
    if (thread_.joinable()) return true;
    if (options_.port == 0) {
        port_ = server_.bind_to_any_port(options_.address);
    } else if (server_.bind_to_port(options_.address, options_.port)) {
        port_ = options_.port;
    } else {
        port_ = -1;
    }
    if (port_ <= 0) {
        error = "cannot listen on " + options_.address + ":" + std::to_string(options_.port) +
                " (in use, or not an address of this machine)";
        return false;
    }
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // Stop() can only stop a server that runs; wait (a bounded while) until it does.
    for (int i = 0; i < kStartWaitSteps && !server_.is_running(); ++i)
        std::this_thread::sleep_for(kStartWaitStep);
    return true;
}

void Endpoint::Stop() {
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
}

std::string Endpoint::Url() const {
    const bool v6 = options_.address.find(':') != std::string::npos;
    const std::string host = v6 ? "[" + options_.address + "]" : options_.address;
    return "http://" + host + ":" + std::to_string(port_) + "/?token=" + options_.token;
}

} // namespace show
