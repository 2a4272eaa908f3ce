// `askgame-host check`: the whole installed tree as the games need it: the plug-in and its
// exports, the skins, the language files, the sample bank, the font and ffmpeg. Each is reported
// found, missing or broken with the reason.
#pragma once

#include <string>

namespace host {

struct InstallCheckOptions {
    std::string pluginPath;
};

// Prints one line per item; 0 when everything the games need is sound (ffmpeg is optional),
// 1 otherwise.
int RunInstallCheck(const InstallCheckOptions& options);

} // namespace host
