#include "show/endpoint.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <random>

#include "show/live_events.h"

namespace show {

namespace {

// The server's limits for a show: its bodies no larger than the options allow.
http::Limits LimitsFor(const EndpointOptions& options) {
    http::Limits limits;
    limits.bodyBytes = options.maxRequestBytes;
    return limits;
}

using nlohmann::json;

constexpr const char* kJson = "application/json";
constexpr const char* kRetryAfterSeconds = "1";

void Reply(http::Response& response, int status, const std::string& reason) {
    response.Text(status, reason);
}

void ReplyJson(http::Response& response, const json& body) {
    response.status = 200;
    // Texts from the panel or viewers that are not valid UTF-8 are replaced, never thrown on.
    response.SetContent(body.dump(-1, ' ', false, json::error_handler_t::replace) + "\n", kJson);
}

void ReplyDelivery(http::Response& response, const Delivery& delivery) {
    switch (delivery.result) {
    case Delivery::Result::Accepted:
        ReplyJson(response, json{{"ok", true}});
        return;
    case Delivery::Result::Full:
        response.SetHeader("Retry-After", kRetryAfterSeconds);
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
void HandleEvent(const http::Request& request, http::Response& response, Read read,
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

// Reads the body as one presenter's action with `parse` and hands it on with `deliver`; a bad
// body is a 400 with the reason.
template <typename Parse, typename Deliver>
void HandleAction(const http::Request& request, http::Response& response, Parse parse,
                  Deliver deliver) {
    std::string error;
    if (const auto action = parse(request.body, error))
        ReplyDelivery(response, deliver(*action));
    else
        Reply(response, 400, error);
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

bool HasToken(const http::Request& request, std::string_view token) {
    // The scheme's name is read in any letter case, as HTTP has it.
    static constexpr std::string_view kBearer = "bearer ";
    const std::string_view header = request.Header("Authorization");
    if (header.size() > kBearer.size() &&
        std::equal(
            kBearer.begin(), kBearer.end(), header.begin(),
            [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); }) &&
        SameText(header.substr(kBearer.size()), token))
        return true;
    // A link carries no header: the page, its files and its stream take the token in the query.
    return request.linkable && request.method == "GET" && SameText(request.Param("token"), token);
}

bool IsSameSite(const http::Request& request, std::string_view listening, int port) {
    const std::string_view host = request.Header("Host");
    // A page of another site may send a request here but never with our Origin; and a name that
    // resolves here by a trick (DNS rebinding) still comes with its own Host.
    const std::string_view origin = request.Header("Origin");
    if (!origin.empty() && (host.empty() || origin != "http://" + std::string(host))) return false;
    if (!IsLoopbackAddress(listening)) return true; // reached by names this host cannot know
    const std::string suffix = ":" + std::to_string(port);
    std::string_view name = host;
    if (name.ends_with(suffix)) name.remove_suffix(suffix.size());
    return name == "localhost" || name == "[::1]" || name.starts_with("127.") || name == listening;
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
    : control_(control), options_(std::move(options)), banks_(options_.banks, {}),
      server_(LimitsFor(options_)) {
    // Every route, ours and those added later, answers only to the token, and only to this site.
    server_.SetGuard([this](const http::Request& request) -> std::optional<http::Response> {
        http::Response refusal;
        if (!IsSameSite(request, options_.address, port_))
            refusal.Text(403, "requests from another site are refused");
        else if (!HasToken(request, options_.token))
            refusal.Text(403, "a valid token is required (Authorization: Bearer TOKEN)");
        else
            return std::nullopt;
        return refusal;
    });
    AddRoutes();
}

Endpoint::~Endpoint() {
    Stop();
}

void Endpoint::AddRoutes() {
    server_.Post("/api/chat", [this](const http::Request& request, http::Response& response) {
        HandleEvent(request, response, ParseChat,
                    [this](hosting::ScenarioEvent event) { return OfferViewer(std::move(event)); });
    });
    server_.Post("/api/gift", [this](const http::Request& request, http::Response& response) {
        HandleEvent(request, response, ParseGift,
                    [this](hosting::ScenarioEvent event) { return OfferViewer(std::move(event)); });
    });
    server_.Post("/api/panel", [this](const http::Request& request, http::Response& response) {
        HandleEvent(
            request, response, [this](std::string_view body) { return ReadPanel(body); },
            [this](const hosting::ScenarioEvent& event) { return ApplyInOrder(event); });
    });
    server_.Post("/api/round", [this](const http::Request& request, http::Response& response) {
        HandleAction(request, response, ParseRoundAction, [this](const RoundAction& action) {
            return control_.ApplyRoundAction(action);
        });
    });
    server_.Post("/api/moderate", [this](const http::Request& request, http::Response& response) {
        HandleAction(request, response, ParseModeration, [this](const Moderation& moderation) {
            return control_.Moderate(moderation);
        });
    });
    // ?top=N lists the N best of the scores and players (default 10, at most 100).
    server_.Get("/api/state", [this](const http::Request& request, http::Response& response) {
        std::size_t top = kStateTop;
        const std::string asked = request.Param("top");
        std::from_chars(asked.data(), asked.data() + asked.size(), top);
        ReplyJson(response, control_.State(top));
    });
}

Delivery Endpoint::OfferViewer(hosting::ScenarioEvent event) {
    const Delivery delivery = control_.OfferViewerEvent(std::move(event));
    // The latest ticket is kept, whichever handler's thread comes last.
    std::uint64_t last = lastViewerTicket_;
    while (delivery.ticket > last &&
           !lastViewerTicket_.compare_exchange_weak(last, delivery.ticket)) {
    }
    return delivery;
}

Delivery Endpoint::ApplyInOrder(const hosting::ScenarioEvent& event) {
    if (const std::uint64_t ticket = lastViewerTicket_; ticket > 0)
        control_.WaitUntilJudged(ticket, stopping_,
                                 std::chrono::steady_clock::now() + kViewersFirstWait);
    return control_.ApplyPresenterAction(event);
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
    if (port_ > 0) return true;
    if (!server_.Start(options_.address, options_.port, error)) return false;
    port_ = server_.Port();
    return true;
}

void Endpoint::Stop() {
    stopping_ = true; // a panel action waiting for viewers' events goes on at once
    server_.Stop();
}

std::string Endpoint::Url() const {
    const bool v6 = options_.address.find(':') != std::string::npos;
    const std::string host = v6 ? "[" + options_.address + "]" : options_.address;
    return "http://" + host + ":" + std::to_string(port_) + "/?token=" + options_.token;
}

} // namespace show
