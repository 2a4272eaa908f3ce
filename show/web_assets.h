// The presenter page's files, built into the program so the host serves them with no network.
#pragma once

#include <string_view>

namespace show {

struct WebAsset {
    std::string_view path;        // as requested, e.g. "/app.js"; the page itself is "/"
    std::string_view contentType; // with its charset where it is text
    std::string_view body;
};

// The asset served at `path`, or null.
const WebAsset* FindWebAsset(std::string_view path);

} // namespace show
