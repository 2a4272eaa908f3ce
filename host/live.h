// `askgame-host live`: a show on air. Frames from a camera, a file, a stream or the test card,
// paced by the wall clock; the game drawn on a video thread; viewers' chat and gifts and the
// presenter's actions arriving over HTTP, from an events file or a rehearsed scenario; the
// result sent to every output at once, until Ctrl-C or SIGTERM.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/exit_status.h"
#include "hosting/frame_io.h"
#include "hosting/scenario.h"
#include "platform/shell.h"
#include "show/round.h"
#include "show/season.h"

namespace host {

struct LiveOptions {
    std::string pluginPath;
    LCID lcid = 1033;
    hosting::GameMode mode = hosting::GameMode::Free;
    std::string input; // empty: the test card
    bool loop = false;
    std::string audioDevice;         // a microphone; empty: the input's own sound
    bool noAudio = false;            // no sound at all
    std::string onInputLoss = "end"; // end the show, or show the test card
    int width = 1280;
    int height = 720;
    double fps = 30;
    std::vector<std::string> outputs;
    bool preview = false;
    hosting::EncoderSettings encoder;
    std::string listen = "127.0.0.1:8719";
    std::string token;             // empty: a random one
    std::string banks;             // the presenter page's bank folder; empty: uploads only
    std::string events;            // JSON lines, "-" for stdin
    std::vector<std::string> chat; // chat sources: twitch:CHANNEL, irc://…, ircs://…
    std::uint32_t subValue = 500;  // points of a Twitch tier-1 subscription
    std::string youtubeKey;        // empty: $ASKGAME_YOUTUBE_KEY
    std::string scenario;          // replayed on the wall clock
    std::string transcript = "live.transcript.txt";
    double duration = 0; // seconds; 0: until stopped
    show::SeasonOptions season;
    show::RoundOptions round{show::MatchRule::Lenient, 0, true}; // how questions are played
    bool verbose = false; // the plug-in's debug traces to stderr
};

// The exit statuses that say what ended a show early: its input was lost, or its outputs
// failed (one of them for good, or all of them).
inline constexpr int kExitInputLost = kExitNoInput;
inline constexpr int kExitOutputFailed = kExitIo;

int RunLive(const LiveOptions& options);

} // namespace host
