#include "show/chat/youtube_messages.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace show::chat {

namespace {

using nlohmann::json;

std::optional<json> Parse(std::string_view text) {
    json parsed = json::parse(text, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) return std::nullopt;
    return parsed;
}

// The string at `key` of `object`, or "" when missing or not a string.
std::string StringAt(const json& object, const char* key) {
    if (!object.is_object()) return {};
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

const json& ObjectAt(const json& object, const char* key) {
    static const json kNone = json::object();
    if (!object.is_object()) return kNone;
    const auto found = object.find(key);
    return found != object.end() && found->is_object() ? *found : kNone;
}

// The API writes 64-bit numbers as strings ("amountMicros": "5000000"); an amount beyond what an
// event may be worth is taken at that.
std::uint64_t MicrosAt(const json& details) {
    constexpr std::uint64_t kMostMicros = kMaxEventWorth * 1'000'000 / kPointsPerCurrencyUnit;
    const std::string text = StringAt(details, "amountMicros");
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return 0;
        value = std::min(value * 10 + static_cast<std::uint64_t>(c - '0'), kMostMicros);
    }
    return value;
}

std::optional<PlatformEvent> ReadMessage(const json& item) {
    const json& snippet = ObjectAt(item, "snippet");
    const json& author = ObjectAt(item, "authorDetails");
    PlatformEvent event;
    event.platform = "youtube";
    event.viewerId = StringAt(author, "channelId");
    if (event.viewerId.empty()) event.viewerId = StringAt(snippet, "authorChannelId");
    event.name = StringAt(author, "displayName");
    if (event.viewerId.empty()) return std::nullopt;
    if (event.name.empty()) event.name = event.viewerId;
    const std::string type = StringAt(snippet, "type");
    if (type == "textMessageEvent") {
        event.text = StringAt(ObjectAt(snippet, "textMessageDetails"), "messageText");
        if (event.text.empty()) event.text = StringAt(snippet, "displayMessage");
        return event;
    }
    const char* details = type == "superChatEvent"      ? "superChatDetails"
                          : type == "superStickerEvent" ? "superStickerDetails"
                                                        : nullptr;
    if (!details) return std::nullopt;
    event.kind = PlatformEvent::Kind::Gift;
    event.worth = std::min(
        MicrosAt(ObjectAt(snippet, details)) * kPointsPerCurrencyUnit / 1'000'000, kMaxEventWorth);
    return event;
}

} // namespace

std::optional<std::string> ActiveLiveChatId(std::string_view videosAnswer) {
    const auto answer = Parse(videosAnswer);
    if (!answer) return std::nullopt;
    const auto items = answer->find("items");
    if (items == answer->end() || !items->is_array() || items->empty()) return std::nullopt;
    std::string id = StringAt(ObjectAt((*items)[0], "liveStreamingDetails"), "activeLiveChatId");
    if (id.empty()) return std::nullopt;
    return id;
}

std::optional<ChatPage> ReadChatPage(std::string_view text) {
    const auto answer = Parse(text);
    if (!answer) return std::nullopt;
    const auto items = answer->find("items");
    if (items == answer->end() || !items->is_array()) return std::nullopt;
    ChatPage page;
    page.nextPageToken = StringAt(*answer, "nextPageToken");
    if (const auto interval = answer->find("pollingIntervalMillis");
        interval != answer->end() && interval->is_number_unsigned())
        page.pollingIntervalMillis = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(interval->get<std::uint64_t>(), 3'600'000));
    for (const json& item : *items) {
        const std::string type = StringAt(ObjectAt(item, "snippet"), "type");
        if (type == "chatEndedEvent") {
            page.chatEnded = true;
            continue;
        }
        if (auto event = ReadMessage(item))
            page.events.push_back(std::move(*event));
        else if (type == "textMessageEvent" || type == "superChatEvent" ||
                 type == "superStickerEvent")
            ++page.skipped; // a message we should have read; other kinds are not viewers' words
    }
    return page;
}

std::string ApiErrorReason(std::string_view text) {
    const auto answer = Parse(text);
    if (!answer) return {};
    const json& error = ObjectAt(*answer, "error");
    const auto errors = error.find("errors");
    if (errors != error.end() && errors->is_array() && !errors->empty())
        if (std::string reason = StringAt((*errors)[0], "reason"); !reason.empty()) return reason;
    return StringAt(error, "status");
}

} // namespace show::chat
