// What the host's uses of FFmpeg's libraries share.
#pragma once

#include <string>

namespace hosting {

// FFmpeg's words for one of its error codes.
std::string AvErrorText(int code);

// FFmpeg's libraries say nothing on stderr (x264's banner, a damaged packet's complaint): the
// host's status line is there, and every failure reaches the host as an error of its own.
void SilenceLibav();

} // namespace hosting
