#include "adapters/frei0r/stream_clock.h"

#include <dlfcn.h>

#include <cmath>

namespace frei0r_adapter {

namespace {

constexpr double kMillisecondsPerSecond = 1000.0;
constexpr std::string_view kFfmpegFilterLibrary = "libavfilter";

} // namespace

TimeUnit TimeUnitOfCaller(std::string_view modulePath) {
    const auto slash = modulePath.find_last_of('/');
    const std::string_view file =
        slash == std::string_view::npos ? modulePath : modulePath.substr(slash + 1);
    return file.starts_with(kFfmpegFilterLibrary) ? TimeUnit::Milliseconds : TimeUnit::Seconds;
}

TimeUnit TimeUnitOfCallerAt(const void* returnAddress) {
    Dl_info info{};
    if (!returnAddress || !dladdr(returnAddress, &info) || !info.dli_fname)
        return TimeUnit::Seconds;
    return TimeUnitOfCaller(info.dli_fname);
}

long StreamClock::FrameAt(double time) {
    if (!counting_) {
        const double seconds =
            unit_ == TimeUnit::Milliseconds ? time / kMillisecondsPerSecond : time;
        if (std::isfinite(seconds) && seconds >= 0 && seconds <= kLatestSeconds) {
            last_ = std::lround(seconds * fps_);
            return last_;
        }
        counting_ = true;
    }
    return ++last_;
}

} // namespace frei0r_adapter
