// Work done on behalf of a video tool (frei0r's entry points, the GStreamer element): nothing
// thrown inside reaches the tool, which is written in C; what failed is said on stderr.
#pragma once

#include <cstdio>
#include <exception>

namespace frei0r_adapter {

template <typename Work>
void Guarded(const char* what, Work&& work) noexcept {
    try {
        work();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "askgame: %s failed: %s\n", what, failure.what());
    } catch (...) {
        std::fprintf(stderr, "askgame: %s failed\n", what);
    }
}

} // namespace frei0r_adapter
