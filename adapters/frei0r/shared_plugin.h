// The plug-in library every filter instance in the process shares. It is found from the filter's
// own file: PREFIX/lib/frei0r-1/askgame.so uses PREFIX/bin/libaskgame.so and the data beside it,
// in the build tree and in an installed tree alike, or PREFIX/lib/askgame/libaskgame.so when only
// that is there, as the Debian package lays it out (a link to the filter is followed first).
#pragma once

#include <string>

#include "hosting/plugin_loader.h"

namespace frei0r_adapter {

// The runnable folder seen from the filter's file: PREFIX/bin, or PREFIX/lib/askgame when only
// that one holds the plug-in; empty when the filter's file cannot be found.
std::string RunnableFolderOf(const std::string& filterPath);

// Opens the plug-in on first use and keeps it for the life of the process. Null, with the reason
// in `error`, when it cannot be opened (the same reason every time after).
hosting::PluginLibrary* SharedPlugin(std::string& error);

} // namespace frei0r_adapter
