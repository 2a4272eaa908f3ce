// A YouTube live stream's chat, read through the YouTube Data API v3 with the streamer's API
// key: videos.list gives the stream's live chat, liveChatMessages.list its messages, page after
// page, as often as the API's pollingIntervalMillis asks (at least once a second). Messages
// already in the chat when the source starts are not judged. An API refusal of quota or rate
// is retried with back-off; an ended chat or a video without one fails the source, saying why.
#pragma once

#include <chrono>
#include <string>

#include "show/chat/chat_source.h"

namespace show::chat {

// The API's address; ASKGAME_YOUTUBE_API replaces it (tests).
inline constexpr const char* kYouTubeApi = "https://www.googleapis.com";
inline constexpr const char* kYouTubeApiVariable = "ASKGAME_YOUTUBE_API";
inline constexpr const char* kYouTubeKeyVariable = "ASKGAME_YOUTUBE_KEY";
inline constexpr std::chrono::milliseconds kShortestPoll{1000};
// The largest API answer read; a page of 2,000 messages is well within it.
inline constexpr std::size_t kMaxApiAnswerBytes = 8 * 1024 * 1024;

struct YouTubeTarget {
    std::string videoId;
    std::string key;
    std::string api = kYouTubeApi; // scheme://host[:port]
};

class YouTubeSource final : public NetworkSource {
public:
    YouTubeSource(std::string label, YouTubeTarget target, ShowControl& show,
                  ViewerDirectory& viewers);
    ~YouTubeSource() override;

private:
    void Spawn(NetworkIo& io) override;

    YouTubeTarget target_;
};

} // namespace show::chat
