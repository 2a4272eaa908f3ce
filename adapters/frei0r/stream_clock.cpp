#include "adapters/frei0r/stream_clock.h"

#include <dlfcn.h>

#include <cmath>

namespace frei0r_adapter {

namespace {

constexpr double kMillisecondsPerSecond = 1000.0;
constexpr std::string_view kFfmpegFilterLibrary = "libavfilter";
constexpr std::string_view kSecondsCallers[] = {"libgstfrei0r", "libmltfrei0r"};

} // namespace

TimeUnit TimeUnitOfCaller(std::string_view modulePath) {
    const auto slash = modulePath.find_last_of('/');
    const std::string_view file =
        slash == std::string_view::npos ? modulePath : modulePath.substr(slash + 1);
    if (file.starts_with(kFfmpegFilterLibrary)) return TimeUnit::Milliseconds;
    for (const std::string_view caller : kSecondsCallers)
        if (file.starts_with(caller)) return TimeUnit::Seconds;
    return TimeUnit::Unknown;
}

TimeUnit TimeUnitOfCallerAt(const void* returnAddress) {
    Dl_info info{};
    if (!returnAddress || !dladdr(returnAddress, &info) || !info.dli_fname)
        return TimeUnit::Unknown;
    return TimeUnitOfCaller(info.dli_fname);
}

void StreamClock::LearnUnit(double time) {
    if (!(time >= 0 && time <= kLatestSeconds * kMillisecondsPerSecond)) return;
    if (!first_)
        first_ = time;
    else if (time > *first_)
        unit_ = time - *first_ > kSlowestFrameStep ? TimeUnit::Milliseconds : TimeUnit::Seconds;
}

long StreamClock::FrameAt(double time) {
    if (!counting_) {
        if (unit_ == TimeUnit::Unknown) LearnUnit(time);
        const double seconds = unit_ == TimeUnit::Seconds ? time : time / kMillisecondsPerSecond;
        if (std::isfinite(seconds) && seconds >= 0 && seconds <= kLatestSeconds) {
            last_ = std::lround(seconds * fps_);
            return last_;
        }
        counting_ = true;
    }
    return ++last_;
}

} // namespace frei0r_adapter
