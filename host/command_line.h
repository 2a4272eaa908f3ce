// What askgame-host says to a command line it cannot take: an unknown command is named as such,
// with the nearest known one suggested.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "hosting/hosted_game.h"

namespace host {

// Where the plug-in's debug traces go: with --verbose to stderr, a line each; else nowhere.
hosting::HostedGame::TraceSink TraceSinkFor(bool verbose);

// The known command nearest to `typed` by edit distance (the first of equals); empty when
// there is none to choose from.
std::string NearestCommand(std::string_view typed, const std::vector<std::string>& known);

// "askgame-host: "bogus" is not a command; did you mean "bank"? (commands: ...)".
std::string UnknownCommandMessage(std::string_view typed, const std::vector<std::string>& known);

} // namespace host
