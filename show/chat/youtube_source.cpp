#include "show/chat/youtube_source.h"

#include <cctype>
#include <optional>
#include <string>

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include "show/chat/network_io.h"
#include "show/chat/youtube_messages.h"

namespace show::chat {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using asio::awaitable;
using asio::use_awaitable;
using asio::ip::tcp;

namespace {

constexpr std::chrono::seconds kRequestTimeout{20};
constexpr std::chrono::seconds kFirstRetry{2};
constexpr std::chrono::seconds kLongestRetry{300};

struct Answer {
    unsigned status = 0;
    std::string body;
};

struct Api {
    bool tls = true;
    std::string host;
    std::string port;
};

std::optional<Api> ParseApi(const std::string& address) {
    Api api;
    std::string rest;
    if (address.rfind("https://", 0) == 0) {
        rest = address.substr(8);
    } else if (address.rfind("http://", 0) == 0) {
        api.tls = false;
        rest = address.substr(7);
    } else {
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    const std::size_t colon = rest.rfind(':');
    api.host = rest.substr(0, colon);
    api.port = colon == std::string::npos ? (api.tls ? "443" : "80") : rest.substr(colon + 1);
    if (api.host.empty() || api.host.find('/') != std::string::npos) return std::nullopt;
    return api;
}

std::string Escaped(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

template <typename Stream>
awaitable<Answer> Exchange(Stream& stream, const Api& api, const std::string& target) {
    http::request<http::empty_body> request{http::verb::get, target, 11};
    request.set(http::field::host, api.host);
    request.set(http::field::user_agent, "askgame");
    request.set(http::field::accept, "application/json");
    co_await http::async_write(stream, request, use_awaitable);
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(kMaxApiAnswerBytes);
    co_await http::async_read(stream, buffer, parser, use_awaitable);
    co_return Answer{parser.get().result_int(), std::move(parser.get().body())};
}

// One GET on a connection of its own: a poll a second or slower needs no more.
awaitable<Answer> Get(NetworkIo& io, const Api& api, const std::string& target) {
    tcp::resolver resolver(io.context);
    const auto endpoints = co_await resolver.async_resolve(api.host, api.port, use_awaitable);
    beast::tcp_stream tcp(io.context);
    tcp.expires_after(kRequestTimeout);
    co_await tcp.async_connect(endpoints, use_awaitable);
    if (!api.tls) co_return co_await Exchange(tcp, api, target);
    beast::ssl_stream<beast::tcp_stream> tls(std::move(tcp), io.tls);
    SSL_set_tlsext_host_name(tls.native_handle(), api.host.c_str());
    tls.set_verify_mode(asio::ssl::verify_peer);
    tls.set_verify_callback(asio::ssl::host_name_verification(api.host));
    co_await tls.async_handshake(asio::ssl::stream_base::client, use_awaitable);
    co_return co_await Exchange(tls, api, target);
}

// Why an answer other than 200 came, and whether trying again may help.
struct Refusal {
    std::string why;
    bool final = false;
};

Refusal RefusalOf(const Answer& answer) {
    const std::string reason = ApiErrorReason(answer.body);
    Refusal refusal;
    refusal.why = "the API answered " + std::to_string(answer.status) +
                  (reason.empty() ? std::string() : " (" + reason + ")");
    refusal.final = reason == "liveChatEnded" || reason == "liveChatNotFound" ||
                    reason == "liveChatDisabled" || reason == "forbidden" ||
                    reason == "keyInvalid" || answer.status == 400 || answer.status == 404;
    return refusal;
}

} // namespace

YouTubeSource::YouTubeSource(std::string label, YouTubeTarget target, ShowControl& show,
                             ViewerDirectory& viewers)
    : NetworkSource(std::move(label), show, viewers), target_(std::move(target)) {}

YouTubeSource::~YouTubeSource() {
    Stop();
}

void YouTubeSource::Spawn(NetworkIo& io) {
    asio::co_spawn(
        io.context,
        [this, &io]() -> awaitable<void> {
            const std::optional<Api> api = ParseApi(target_.api);
            if (!api) {
                SetState("failed",
                         "the API address " + target_.api + " is not http(s)://HOST[:PORT]");
                co_return;
            }
            const std::string key = "&key=" + Escaped(target_.key);
            asio::steady_timer pause(io.context);
            std::string chatId, pageToken;
            bool first = true; // the messages already there when the source starts
            auto retry = std::chrono::seconds(kFirstRetry);
            while (!Stopping()) {
                std::chrono::milliseconds wait = kShortestPoll;
                try {
                    if (chatId.empty()) {
                        const Answer video =
                            co_await Get(io, *api,
                                         "/youtube/v3/videos?part=liveStreamingDetails&id=" +
                                             Escaped(target_.videoId) + key);
                        if (video.status != 200) throw RefusalOf(video);
                        const auto id = ActiveLiveChatId(video.body);
                        if (!id) throw Refusal{"the video has no live chat (is it live?)", true};
                        chatId = *id;
                    }
                    std::string target = "/youtube/v3/liveChat/messages?part=snippet,authorDetails"
                                         "&maxResults=2000&liveChatId=" +
                                         Escaped(chatId) + key;
                    if (!pageToken.empty()) target += "&pageToken=" + Escaped(pageToken);
                    const Answer messages = co_await Get(io, *api, target);
                    if (messages.status != 200) throw RefusalOf(messages);
                    const std::optional<ChatPage> page = ReadChatPage(messages.body);
                    if (!page) throw Refusal{"the API answered something that is not a chat page"};
                    SetState("live");
                    retry = kFirstRetry;
                    for (std::uint32_t i = 0; i < page->skipped; ++i)
                        CountBad("a message the API gave without its author");
                    if (!first)
                        for (const PlatformEvent& event : page->events)
                            Deliver(event, StoppingFlag());
                    first = false;
                    if (!page->nextPageToken.empty()) pageToken = page->nextPageToken;
                    if (page->chatEnded) {
                        SetState("failed", "the live chat ended");
                        co_return;
                    }
                    wait = std::max(kShortestPoll,
                                    std::chrono::milliseconds(page->pollingIntervalMillis));
                } catch (const Refusal& refusal) {
                    if (refusal.final) {
                        SetState("failed", refusal.why);
                        co_return;
                    }
                    SetState("retrying",
                             refusal.why + "; again in " + std::to_string(retry.count()) + " s");
                    wait = retry;
                    retry = std::min(retry * 2, std::chrono::seconds(kLongestRetry));
                } catch (const boost::system::system_error& e) {
                    SetState("retrying", e.code().message() + "; again in " +
                                             std::to_string(retry.count()) + " s");
                    wait = retry;
                    retry = std::min(retry * 2, std::chrono::seconds(kLongestRetry));
                }
                pause.expires_after(wait);
                co_await pause.async_wait(use_awaitable);
            }
        },
        asio::detached);
}

} // namespace show::chat
