// Plays a scenario: frame by frame, the events due before a frame are applied (viewers' messages
// queued, presenter actions sent to the panel), the frame is drawn by the effect, stills are
// saved, and the frame goes to the sink.
#pragma once

#include <string>
#include <vector>

#include "hosting/frame_io.h"
#include "hosting/hosted_game.h"
#include "hosting/progress.h"
#include "hosting/scenario.h"

namespace hosting {

struct PlayOptions {
    std::string stillsFolder;  // where stills are written
    std::string stillsPrefix;  // put before each still's name, e.g. "free-"
    std::string stage = "run"; // name shown with the progress
    bool quiet = false;        // no progress output
};

struct PlayResult {
    bool ok = false;
    std::string error;
    long frames = 0;
    std::vector<std::string> stills; // paths written
};

PlayResult PlayScenario(HostedGame& game, const Scenario& scenario, FrameSource& source,
                        FrameSink* sink, Transcript& transcript, const PlayOptions& options);

// The closing lines of a game's transcript: the scores and the host's verdict.
void WriteScoreSummary(const HostedGame& game, Transcript& transcript);

} // namespace hosting
