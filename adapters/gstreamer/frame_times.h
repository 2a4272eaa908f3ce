// The time each frame passing through the element is drawn for, in seconds of the stream: the
// stream time its buffer carries, or, for a buffer without a timestamp, one frame period after
// the frame before it, at the negotiated frame rate. The show's own clock then turns the time into
// the scenario's frame.
#pragma once

#include <optional>

namespace gstreamer_adapter {

// The rate frames without timestamps are counted at when the caps give none (a variable rate).
inline constexpr double kUnknownRateFps = 25;

class FrameTimes {
public:
    // The caps' frame rate as a fraction; a rate that is not positive counts at kUnknownRateFps.
    void SetRate(int numerator, int denominator);
    // The time of the next frame: `stream` when the buffer has one, else the previous frame's
    // time plus a period (0 for the first frame).
    double Next(std::optional<double> stream);
    // A new stream: the next frame without a timestamp is the first.
    void Restart() { last_.reset(); }

private:
    double period_ = 1 / kUnknownRateFps;
    std::optional<double> last_;
};

} // namespace gstreamer_adapter
