// The built-in demo: both games played over the moving test card, written as videos, stills
// and a transcript into one folder.
#pragma once

#include <string>

#include "platform/shell.h"

namespace host {

// The demo's scenarios and bank, built into the program from data/scenarios.
extern const char* const k_demo_free;
extern const char* const k_demo_challenge;
extern const char* const k_demo_bank;

struct DemoOptions {
    std::string pluginPath;
    std::string outputFolder = "askgame-demo";
    LCID lcid = 0;
    bool verbose = false; // the plug-in's debug traces to stderr
};

// Plays both games; answers the exit status (0 when everything was written and the plug-in
// kept the host's rules).
int RunDemo(const DemoOptions& options);

} // namespace host
