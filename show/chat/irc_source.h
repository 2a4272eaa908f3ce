// A channel's chat on an IRC server, read anonymously: Twitch (over TLS, with its tags) or any
// server. It answers PING, follows Twitch's RECONNECT, sends its own PING when the server has
// been quiet, and reconnects with back-off (1 s doubling to a minute) whenever the connection
// drops, saying so in its status.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "show/chat/chat_source.h"
#include "show/chat/irc_events.h"

namespace show::chat {

inline constexpr std::chrono::seconds kFirstRetry{1};
inline constexpr std::chrono::seconds kLongestRetry{60};
// A server quiet this long is asked for a PONG; quiet twice as long, it is left and reconnected.
inline constexpr std::chrono::seconds kQuietPing{60};

struct IrcTarget {
    std::string host;
    std::uint16_t port = 6667;
    bool tls = false;
    std::string channel;  // without its '#'
    std::string platform; // "irc:HOST", or "twitch" for Twitch itself
    bool twitch = false;  // ask for Twitch's tags and log in as an anonymous Twitch viewer
};

class IrcSource final : public NetworkSource {
public:
    IrcSource(std::string label, IrcTarget target, GiftValues values, ShowControl& show,
              ViewerDirectory& viewers);
    ~IrcSource() override;

private:
    class Session;
    void Spawn(NetworkIo& io) override;

    IrcTarget target_;
    GiftValues values_;
};

} // namespace show::chat
