// What a chat server's lines tell of viewers. Any IRC server's PRIVMSG is a viewer's message,
// known by nick; where the server sends Twitch's tags (Twitch itself, or any server that
// forwards them), the viewer is Twitch's `user-id` with their `display-name`, a message with
// `bits=N` is also a gift worth N points, and subscriptions (USERNOTICE `msg-id` sub, resub,
// subgift, submysterygift) are gifts worth what the streamer set.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "show/chat/irc_line.h"
#include "show/chat/viewer_event.h"

namespace show::chat {

// What subscriptions are worth, in points. Bits are a point each.
struct GiftValues {
    std::uint32_t sub =
        500; // a tier-1 (or Prime) subscription; tier 2 counts twice, tier 3 five times
};

// The viewers' events in `line`, read by a source of `platform` ("irc:HOST" for plain IRC;
// lines with Twitch's tags are "twitch" whatever the server). None for lines of other kinds.
std::vector<PlatformEvent> ViewerEventsOf(const IrcLine& line, std::string_view platform,
                                          const GiftValues& values);

} // namespace show::chat
