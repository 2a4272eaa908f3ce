// What the askgame element plays, behind a header that includes neither GStreamer's nor the
// plug-in's: GLib's TRUE and FALSE are macros that would rewrite the Windows-shaped constants of
// the plug-in's headers. The element's properties are the frei0r filter's parameters, and one
// frei0r FilterInstance of the negotiated frame size plays the show: made when caps are
// negotiated, with the properties carried over, and ended when the element stops, which closes
// its endpoint and commits its season. Properties come from the application's threads and frames
// from the streaming thread: every call takes the show's one lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace gstreamer_adapter {

// A property as GStreamer lists it: the frei0r parameter's name and explanation.
struct PropertyInfo {
    const char* name;
    const char* blurb;
};
int PropertyCount();
// Property `index` from 0 to PropertyCount() - 1.
PropertyInfo PropertyAt(int index);

// The pixel formats drawn on in place (hosting::PixelFormat's, which this header cannot name).
enum class FrameFormat { I420, Nv12, Bgra, Rgba };

// A mapped frame: top-down rows, a plane per component group (I420: Y, U, V; NV12: Y, UV;
// packed: one), each with its own stride.
struct FramePlanes {
    FrameFormat format = FrameFormat::I420;
    int width = 0;
    int height = 0;
    std::uint8_t* data[3] = {};
    std::ptrdiff_t strides[3] = {};
};

// The largest frame side negotiated: what the filter instance and its canvas can draw on.
int MaxFrameSide();

class ElementShow {
public:
    ElementShow();
    ElementShow(const ElementShow&) = delete;
    ElementShow& operator=(const ElementShow&) = delete;
    ~ElementShow();

    // Property `index`'s value, kept for every instance to come; the show is rebuilt at the
    // next frame when it changed. An index out of range is ignored.
    void Set(int index, std::string_view value);
    std::string Get(int index) const;

    // New caps: frames of width × height at numerator / denominator frames a second. Another
    // size starts the show over; another format or rate of the same size keeps it. False for a
    // size that cannot be drawn on.
    bool Negotiate(int width, int height, int rateNumerator, int rateDenominator);
    // Draws the game onto `frame` in place for the buffer's position in the stream in seconds
    // (nothing: a buffer without a timestamp, placed a frame period after the one before).
    void Draw(std::optional<double> streamSeconds, const FramePlanes& frame);
    // The stream stopped: the show and its endpoint end, its season is committed. The next
    // frame starts a new show of the same size.
    void Stop();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace gstreamer_adapter
