// One instance of the filter as a video tool makes it: its parameters, its stream clock and the
// scenario it plays. Every frame is first copied from the tool's input to its output; the game
// is then drawn on the output in place. While the parameters are unusable the frame stays as
// copied and the reason is written to stderr, once for each set of values.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "adapters/frei0r/filter_presenter.h"
#include "adapters/frei0r/filter_settings.h"
#include "adapters/frei0r/live_link.h"
#include "adapters/frei0r/scenario_show.h"
#include "adapters/frei0r/stream_clock.h"
#include "hosting/overlay.h"
#include "show/chat/chat_sources.h"

namespace frei0r_adapter {

// Frames up to this many pixels a side; beyond it the filter passes frames through untouched.
inline constexpr unsigned kMaxFrameSide = 16384;

class FilterInstance {
public:
    FilterInstance(unsigned width, unsigned height);
    FilterInstance(const FilterInstance&) = delete;
    FilterInstance& operator=(const FilterInstance&) = delete;
    ~FilterInstance();

    // Takes a parameter's new value; the show is rebuilt at the next frame when it changed.
    void Set(Setting setting, std::string_view value);
    // The value last set (valid until the next Set).
    const char* Get(Setting setting) const;

    // Copies `in` to `out` and draws the game for host time `time` on `out`.
    void Update(double time, TimeUnit unit, const std::uint32_t* in, std::uint32_t* out);
    // Draws the game for host time `time` onto `picture` in place, in the picture's own format:
    // the game is drawn on a transparent canvas and only what holds ink is composited. A
    // picture of another size than the instance's is left as it is.
    void DrawOnto(double time, TimeUnit unit, const hosting::PictureView& picture);

    // The show being played, null while the parameters are unusable (for tests).
    const ScenarioShow* Show() const { return show_.get(); }

private:
    bool Prepare(TimeUnit unit);
    // Prepare(), then the frame of the show to draw for `time` (after a seek, a new show's);
    // nothing when there is no show to draw.
    std::optional<long> FrameAt(double time, TimeUnit unit);
    // Says once why the scenario stopped, if it did.
    void ReportFailure();
    std::unique_ptr<ScenarioShow> MakeShow(std::string& error) const;
    bool OpenEndpoint(std::string& error);
    // Starts recording the show into its season, as the season parameter says.
    void OpenSeason();
    // Starts reading the chat sources the chat parameter names (checked by MakeShow).
    void OpenChat();
    // Ends the show and its endpoint: waiting senders are answered before the endpoint stops.
    void Teardown();
    void Report(const std::string& message) const;

    mutable std::mutex lock_; // tools may call from a thread of their choosing
    unsigned width_;
    unsigned height_;
    FilterSettings settings_;
    bool changed_ = true; // the settings differ from those the show was made from
    std::unique_ptr<ScenarioShow> show_;
    std::unique_ptr<StreamClock> clock_;
    std::unique_ptr<LiveLink> live_;
    std::unique_ptr<FilterPresenter> presenter_;
    std::unique_ptr<show::Endpoint> endpoint_;
    show::SeasonOptions season_; // for the show being played
    std::unique_ptr<season::SeasonRecorder> recorder_;
    std::unique_ptr<hosting::Overlay> overlay_; // made at the first picture not in BGRA
    std::unique_ptr<show::chat::ChatSources> chat_;
};

} // namespace frei0r_adapter
