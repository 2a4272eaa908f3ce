#include "adapters/gstreamer/frame_times.h"

#include <cmath>

namespace gstreamer_adapter {

void FrameTimes::SetRate(int numerator, int denominator) {
    const double fps =
        numerator > 0 && denominator > 0 ? double(numerator) / double(denominator) : 0;
    period_ = 1 / (fps > 0 && std::isfinite(fps) ? fps : kUnknownRateFps);
}

double FrameTimes::Next(std::optional<double> stream) {
    const double time = stream ? *stream : last_ ? *last_ + period_ : 0;
    last_ = time;
    return time;
}

} // namespace gstreamer_adapter
