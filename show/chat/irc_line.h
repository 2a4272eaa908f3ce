// One line of the IRC protocol as a chat server sends it, with IRCv3 message tags (Twitch sends
// who wrote a message, their id, bits and subscriptions as tags):
//
//   [@tag=value;tag2 ][:prefix ]COMMAND [param ...][ :trailing]
//
// Nothing here trusts the line: a malformed one is refused whole, tag values are unescaped.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace show::chat {

// The longest line read: Twitch allows 8,191 bytes of tags before a 512-byte message.
inline constexpr std::size_t kMaxIrcLineBytes = 8192 + 512;

struct IrcLine {
    std::vector<std::pair<std::string, std::string>> tags;
    std::string prefix;  // "nick!user@host" or a server name; empty when none
    std::string command; // "PRIVMSG", "PING", "001", ...
    std::vector<std::string> params;

    // A tag's value; nothing when the line has no such tag.
    std::optional<std::string_view> Tag(std::string_view key) const;
    // The nick of the prefix: what comes before '!' (or the whole prefix).
    std::string_view Nick() const;
};

// Reads one line without its CR LF; nothing when it is not an IRC line.
std::optional<IrcLine> ParseIrcLine(std::string_view line);

} // namespace show::chat
