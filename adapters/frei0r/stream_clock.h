// Turns the `time` a video tool passes with each frame into the index of the frame being drawn,
// so that scenario events fire at their moment in the stream and a render is reproducible.
//
// frei0r says seconds. GStreamer and MLT pass seconds; ffmpeg passes the frame's timestamp in
// milliseconds, and Debian's ffmpeg 5.1 passes no usable timestamp at all (the same huge
// negative number with every frame). A time that is not a finite number from 0 to
// kLatestSeconds therefore switches the clock to counting frames, for good, from the frame after
// the last one it placed.
#pragma once

#include <string_view>

namespace frei0r_adapter {

enum class TimeUnit { Seconds, Milliseconds };

// The unit the tool whose code lives in `modulePath` passes: milliseconds for ffmpeg's filter
// library (libavfilter), seconds for everything else.
TimeUnit TimeUnitOfCaller(std::string_view modulePath);
// The unit for the tool whose code holds `returnAddress` (the caller of the filter's update).
TimeUnit TimeUnitOfCallerAt(const void* returnAddress);

inline constexpr double kLatestSeconds = 24.0 * 3600; // a day of stream

class StreamClock {
public:
    StreamClock(TimeUnit unit, double fps) : unit_(unit), fps_(fps) {}

    // The frame at host time `time`: round(seconds × fps), or the next count once counting.
    long FrameAt(double time);
    bool Counting() const { return counting_; }

private:
    TimeUnit unit_;
    double fps_;
    bool counting_ = false;
    long last_ = -1;
};

} // namespace frei0r_adapter
