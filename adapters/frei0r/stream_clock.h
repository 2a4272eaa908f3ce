// Turns the `time` a video tool passes with each frame into the index of the frame being drawn,
// so that scenario events fire at their moment in the stream and a render is reproducible.
//
// frei0r says seconds. GStreamer and MLT pass seconds; ffmpeg passes the frame's timestamp in
// milliseconds, and Debian's ffmpeg 5.1 passes no usable timestamp at all (the same huge
// negative number with every frame). A time that is not a finite number from 0 to
// kLatestSeconds therefore switches the clock to counting frames, for good, from the frame after
// the last one it placed.
//
// A tool the clock does not know (an ffmpeg linked into one program, say) is told apart by its
// pace: a step of more than kSlowestFrameStep between two frames cannot be seconds of video, so
// it is milliseconds. Until the second frame tells, a time is read as milliseconds, the reading
// that places a frame earlier, so that no event fires before its moment.
#pragma once

#include <optional>
#include <string_view>

namespace frei0r_adapter {

enum class TimeUnit { Seconds, Milliseconds, Unknown };

// The unit the tool whose code lives in `modulePath` passes: milliseconds for ffmpeg's filter
// library (libavfilter), seconds for GStreamer's and MLT's frei0r modules, unknown otherwise.
TimeUnit TimeUnitOfCaller(std::string_view modulePath);
// The unit for the tool whose code holds `returnAddress` (the caller of the filter's update).
TimeUnit TimeUnitOfCallerAt(const void* returnAddress);

inline constexpr double kLatestSeconds = 24.0 * 3600; // a day of stream
// The longest step between two frames read as seconds: a frame a second.
inline constexpr double kSlowestFrameStep = 1.0;

class StreamClock {
public:
    StreamClock(TimeUnit unit, double fps) : unit_(unit), fps_(fps) {}

    // The frame at host time `time`: round(seconds × fps), or the next count once counting.
    long FrameAt(double time);
    bool Counting() const { return counting_; }
    TimeUnit Unit() const { return unit_; }

private:
    // Settles an unknown unit from the step since the first time seen.
    void LearnUnit(double time);

    TimeUnit unit_;
    double fps_;
    bool counting_ = false;
    long last_ = -1;
    std::optional<double> first_; // the first usable time, while the unit is unknown
};

} // namespace frei0r_adapter
