// Puts text on the desktop's clipboard for a module that has no toolkit of its own: through
// wl-copy on Wayland, else xclip or xsel on X11, whichever is installed.
#pragma once

#include <string>

namespace obs_adapter {

// False, with the reason in `error`, when no clipboard tool is there or it failed.
bool CopyToClipboard(const std::string& text, std::string& error);

} // namespace obs_adapter
