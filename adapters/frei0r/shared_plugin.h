// The plug-in library every filter instance in the process shares. It is found from the file of
// the module that holds this code (the frei0r filter or the GStreamer element): a module in a
// tool's folder under PREFIX/lib (PREFIX/lib/frei0r-1/askgame.so) uses PREFIX/bin/libaskgame.so
// and the data beside it, in the build tree and in an installed tree alike, or
// PREFIX/lib/askgame/libaskgame.so when only that is there, as the Debian package lays it out. A
// module one folder deeper, under a multiarch folder (Debian's GStreamer elements lie in
// PREFIX/lib/x86_64-linux-gnu/gstreamer-1.0/), is looked for from PREFIX/lib too. A link to the
// module is followed first.
#pragma once

#include <string>

#include "hosting/plugin_loader.h"

namespace frei0r_adapter {

// The runnable folder seen from the module's file: PREFIX/bin, or PREFIX/lib/askgame when only
// that one holds the plug-in (for a module under a multiarch folder, the first of those folders
// seen from either depth that holds it); PREFIX/bin of the shallower depth when none does; empty
// when the module's file cannot be found.
std::string RunnableFolderOf(const std::string& modulePath);

// Opens the plug-in on first use and keeps it for the life of the process. Null, with the reason
// in `error`, when it cannot be opened (the same reason every time after).
hosting::PluginLibrary* SharedPlugin(std::string& error);

} // namespace frei0r_adapter
