// The chat sources a show reads, from what a streamer names:
//
//   twitch:CHANNEL                  Twitch chat, anonymously over TLS
//   irc://HOST[:PORT]/CHANNEL       any IRC server (port 6667 by default)
//   ircs://HOST[:PORT]/CHANNEL      any IRC server over TLS (port 6697 by default)
//   youtube:VIDEO_ID                a YouTube live stream's chat (needs an API key)
//
// A channel is named without its '#', or with it written %23.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "show/chat/chat_source.h"
#include "show/chat/irc_events.h"
#include "show/chat/irc_source.h"
#include "show/chat/youtube_source.h"

namespace show::chat {

inline constexpr std::uint16_t kIrcPort = 6667;
inline constexpr std::uint16_t kIrcTlsPort = 6697;
inline constexpr const char* kTwitchHost = "irc.chat.twitch.tv";

// The server and channel of an IRC or Twitch source; nothing, with the reason in `error`, for a
// source that is neither.
std::optional<IrcTarget> ParseIrcSource(std::string_view source, std::string& error);
// Whether `source` names a source of any kind above; the reason in `error` when not.
bool ReadableChatSource(std::string_view source, std::string& error);

struct ChatOptions {
    GiftValues values;
    std::string youtubeKey; // the YouTube Data API key youtube: sources use
    std::string youtubeApi = kYouTubeApi;

    // The defaults, with the key and API address from ASKGAME_YOUTUBE_KEY / _API where set.
    static ChatOptions FromEnvironment();
};

class ChatSources {
public:
    // Keeps viewer ids in the season file at `seasonPath` (empty: this show only).
    ChatSources(ShowControl& show, const std::string& seasonPath, ChatOptions options);
    ~ChatSources();

    // Adds the source `source` names; false, with the reason in `error`, for one it cannot read.
    bool Add(const std::string& source, std::string& error);
    void Start();
    void Stop();

    bool Empty() const { return sources_.empty(); }
    // Every source's status, for the show's state.
    nlohmann::json Json() const;
    // One line for the status line: "twitch:quiz live 120 msgs; irc://… retrying (why)".
    std::string Line() const;

private:
    ShowControl& show_;
    ViewerDirectory viewers_;
    ChatOptions options_;
    std::vector<std::unique_ptr<ChatSource>> sources_;
};

} // namespace show::chat
