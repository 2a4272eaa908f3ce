// What a YouTube live chat's messages tell of viewers, read from the YouTube Data API v3 answers
// (videos.list for the stream's chat, liveChatMessages.list for its messages). Text messages are
// chat; Super Chats and Super Stickers are gifts worth 100 points a currency unit (a 5.00 Super
// Chat, in any currency, is worth 500, as a Twitch subscription is by default). Nothing here
// trusts the answer: anything missing or of the wrong type is skipped and counted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "show/chat/viewer_event.h"

namespace show::chat {

inline constexpr std::uint64_t kPointsPerCurrencyUnit = 100;

// The chat id of a videos.list answer's first video; nothing when it has no live chat (not live,
// ended, or not a video at all).
std::optional<std::string> ActiveLiveChatId(std::string_view videosAnswer);

struct ChatPage {
    std::vector<PlatformEvent> events;
    std::string nextPageToken;
    std::uint32_t pollingIntervalMillis = 0;
    std::uint32_t skipped = 0; // messages that could not be read
    bool chatEnded = false;    // the chat closed (a chatEndedEvent)
};

// One liveChatMessages.list answer; nothing when it is not such an answer at all.
std::optional<ChatPage> ReadChatPage(std::string_view answer);

// The reason an API error answer gives ("quotaExceeded", "liveChatEnded", ...), else "".
std::string ApiErrorReason(std::string_view answer);

} // namespace show::chat
