#include "show/chat/irc_events.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>

namespace show::chat {

namespace {

constexpr std::string_view kTwitch = "twitch";

std::uint64_t NumberOr(std::optional<std::string_view> text, std::uint64_t fallback) {
    if (!text) return fallback;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size()) return fallback;
    return value;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The plan's worth against a tier-1 subscription: "1000" and "Prime" 1, "2000" 2, "3000" 5.
std::uint64_t TierFactor(std::optional<std::string_view> plan) {
    if (plan == "2000") return 2;
    if (plan == "3000") return 5;
    return 1;
}

// Who the line is from: Twitch's id and display name where tagged, else the nick.
PlatformEvent FromSender(const IrcLine& line, std::string_view platform) {
    PlatformEvent event;
    const auto userId = line.Tag("user-id");
    if (userId && !userId->empty()) {
        event.platform = kTwitch;
        event.viewerId = *userId;
        const auto display = line.Tag("display-name");
        event.name = display && !display->empty()
                         ? std::string(*display)
                         : std::string(line.Tag("login").value_or(line.Nick()));
    } else {
        event.platform = platform;
        event.viewerId = Lower(line.Nick());
        event.name = line.Nick();
    }
    return event;
}

std::vector<PlatformEvent> FromMessage(const IrcLine& line, std::string_view platform) {
    if (line.params.size() < 2 || line.prefix.empty()) return {};
    std::vector<PlatformEvent> events;
    PlatformEvent chat = FromSender(line, platform);
    if (const std::uint64_t bits = NumberOr(line.Tag("bits"), 0); bits > 0) {
        PlatformEvent gift = chat;
        gift.kind = PlatformEvent::Kind::Gift;
        gift.worth = std::min(bits, kMaxEventWorth);
        events.push_back(std::move(gift));
    }
    chat.text = line.params[1];
    events.push_back(std::move(chat));
    return events;
}

std::vector<PlatformEvent> FromNotice(const IrcLine& line, const GiftValues& values) {
    const auto kind = line.Tag("msg-id");
    const auto userId = line.Tag("user-id");
    if (!kind || !userId || userId->empty()) return {};
    const std::uint64_t sub = values.sub * TierFactor(line.Tag("msg-param-sub-plan"));
    std::uint64_t subs = 0;
    if (kind == "sub" || kind == "resub") {
        subs = 1;
    } else if (kind == "subgift") {
        // The gifts of a mystery gift come one by one after it, carrying its id: counted with it.
        if (!line.Tag("msg-param-community-gift-id").value_or("").empty()) return {};
        subs = 1;
    } else if (kind == "submysterygift") {
        subs = NumberOr(line.Tag("msg-param-mass-gift-count"), 0);
    }
    if (subs == 0) return {};
    PlatformEvent gift = FromSender(line, kTwitch);
    gift.kind = PlatformEvent::Kind::Gift;
    gift.worth = std::min(std::min(subs, kMaxEventWorth) * sub, kMaxEventWorth);
    std::vector<PlatformEvent> events{gift};
    // A resub's own message is chat like any other.
    if (line.params.size() >= 2 && !line.params[1].empty()) {
        PlatformEvent chat = FromSender(line, kTwitch);
        chat.text = line.params[1];
        events.push_back(std::move(chat));
    }
    return events;
}

} // namespace

std::vector<PlatformEvent> ViewerEventsOf(const IrcLine& line, std::string_view platform,
                                          const GiftValues& values) {
    if (line.command == "PRIVMSG") return FromMessage(line, platform);
    if (line.command == "USERNOTICE") return FromNotice(line, values);
    return {};
}

} // namespace show::chat
