// PNG stills of frames, through libpng.
#pragma once

#include <optional>
#include <string>

#include "hosting/frame.h"

namespace hosting {

// Writes a top-down BGRA frame as an RGB PNG (the fourth byte is not a picture channel in the
// frames the plug-in draws on). On failure answers false and says why in `error`.
bool WritePng(const Frame& frame, const std::string& path, std::string* error = nullptr);
// Reads a PNG back as a top-down BGRA frame with opaque pixels; nothing when it cannot.
std::optional<Frame> ReadPng(const std::string& path);

} // namespace hosting
