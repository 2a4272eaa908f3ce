#include "show/chat/chat_sources.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

namespace show::chat {

namespace {

constexpr std::size_t kMaxChannelBytes = 200;
constexpr std::size_t kMaxVideoIdBytes = 64;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A channel name as IRC allows it: no spaces, commas, colons or control characters.
bool ValidChannel(std::string_view channel) {
    return !channel.empty() && channel.size() <= kMaxChannelBytes &&
           std::none_of(channel.begin(), channel.end(), [](char c) {
               return c == ' ' || c == ',' || c == ':' || c == '#' ||
                      std::iscntrl(static_cast<unsigned char>(c));
           });
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::optional<IrcTarget> ParseUrl(std::string_view source, bool tls, std::string& error) {
    std::string_view rest = source.substr(tls ? 7 : 6); // past "ircs://" or "irc://"
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) {
        error = "no channel in \"" + std::string(source) + "\": expected " +
                (tls ? "ircs" : "irc") + "://HOST[:PORT]/CHANNEL";
        return std::nullopt;
    }
    std::string_view host = rest.substr(0, slash);
    std::string_view channel = rest.substr(slash + 1);
    IrcTarget target;
    target.tls = tls;
    target.port = tls ? kIrcTlsPort : kIrcPort;
    if (const std::size_t colon = host.rfind(':');
        colon != std::string_view::npos && host.find(']', colon) == std::string_view::npos) {
        const std::string_view port = host.substr(colon + 1);
        unsigned value = 0;
        const auto [end, code] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (code != std::errc() || end != port.data() + port.size() || value == 0 ||
            value > 65535) {
            error = "the port in \"" + std::string(source) + "\" is not a number from 1 to 65535";
            return std::nullopt;
        }
        target.port = static_cast<std::uint16_t>(value);
        host = host.substr(0, colon);
    }
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.empty() || host.find_first_of(" /@") != std::string_view::npos) {
        error = "no server in \"" + std::string(source) + "\"";
        return std::nullopt;
    }
    if (StartsWith(channel, "%23")) channel.remove_prefix(3);
    if (!ValidChannel(channel)) {
        error = "\"" + std::string(channel) +
                "\" is not a channel name (write # as %23, or leave it out)";
        return std::nullopt;
    }
    target.host = host;
    target.channel = channel;
    target.platform = "irc:" + Lower(host);
    return target;
}

} // namespace

std::optional<IrcTarget> ParseIrcSource(std::string_view source, std::string& error) {
    if (StartsWith(source, "twitch:")) {
        std::string_view channel = source.substr(7);
        if (!channel.empty() && channel.front() == '#') channel.remove_prefix(1);
        if (!ValidChannel(channel)) {
            error = "\"" + std::string(source) + "\": expected twitch:CHANNEL";
            return std::nullopt;
        }
        IrcTarget target;
        target.host = kTwitchHost;
        target.port = kIrcTlsPort;
        target.tls = true;
        target.channel = Lower(channel); // Twitch's channels are lower case
        target.platform = "twitch";
        target.twitch = true;
        return target;
    }
    if (StartsWith(source, "irc://")) return ParseUrl(source, false, error);
    if (StartsWith(source, "ircs://")) return ParseUrl(source, true, error);
    error = "\"" + std::string(source) +
            "\" names no chat source: expected twitch:CHANNEL, irc://HOST[:PORT]/CHANNEL, "
            "ircs://HOST[:PORT]/CHANNEL or youtube:VIDEO_ID";
    return std::nullopt;
}

bool ReadableChatSource(std::string_view source, std::string& error) {
    if (!StartsWith(source, "youtube:")) return ParseIrcSource(source, error).has_value();
    const std::string_view video = source.substr(8);
    if (video.empty() || video.size() > kMaxVideoIdBytes ||
        !std::all_of(video.begin(), video.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
        })) {
        error = "\"" + std::string(source) +
                "\": expected youtube:VIDEO_ID (the id in the video's address)";
        return false;
    }
    return true;
}

ChatOptions ChatOptions::FromEnvironment() {
    ChatOptions options;
    if (const char* key = std::getenv(kYouTubeKeyVariable)) options.youtubeKey = key;
    if (const char* api = std::getenv(kYouTubeApiVariable); api && *api) options.youtubeApi = api;
    return options;
}

ChatSources::ChatSources(ShowControl& show, const std::string& seasonPath, ChatOptions options)
    : show_(show), viewers_(seasonPath), options_(std::move(options)) {}

ChatSources::~ChatSources() {
    Stop();
}

bool ChatSources::Add(const std::string& source, std::string& error) {
    if (!ReadableChatSource(source, error)) return false;
    if (StartsWith(source, "youtube:")) {
        if (options_.youtubeKey.empty()) {
            error = "\"" + source + "\" needs a YouTube Data API key (--youtube-key KEY, or " +
                    kYouTubeKeyVariable + ")";
            return false;
        }
        sources_.push_back(std::make_unique<YouTubeSource>(
            source, YouTubeTarget{source.substr(8), options_.youtubeKey, options_.youtubeApi},
            show_, viewers_));
        return true;
    }
    sources_.push_back(std::make_unique<IrcSource>(source, *ParseIrcSource(source, error),
                                                   options_.values, show_, viewers_));
    return true;
}

void ChatSources::Start() {
    for (auto& source : sources_)
        source->Start();
}

void ChatSources::Stop() {
    for (auto& source : sources_)
        source->Stop();
}

nlohmann::json ChatSources::Json() const {
    nlohmann::json all = nlohmann::json::array();
    for (const auto& source : sources_)
        all.push_back(StatusJson(source->Status()));
    return all;
}

std::string ChatSources::Line() const {
    std::string line;
    for (const auto& source : sources_) {
        const SourceStatus status = source->Status();
        if (!line.empty()) line += "; ";
        line +=
            status.source + " " + status.state + " " + std::to_string(status.messages) + " msgs";
        if (status.state != "live" && !status.why.empty()) line += " (" + status.why + ")";
    }
    return line;
}

} // namespace show::chat
