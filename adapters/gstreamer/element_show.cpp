#include "adapters/gstreamer/element_show.h"

#include <iterator>
#include <mutex>

#include "adapters/frei0r/filter_instance.h"
#include "adapters/frei0r/filter_settings.h"
#include "adapters/gstreamer/frame_times.h"
#include "hosting/overlay.h"
#include "hosting/picture.h"

namespace gstreamer_adapter {

namespace {

using frei0r_adapter::FilterInstance;
using frei0r_adapter::Setting;

constexpr int kSettingCount = static_cast<int>(Setting::Count);
static_assert(frei0r_adapter::kMaxFrameSide <= unsigned(hosting::kMaxOverlaySide));

hosting::PixelFormat PixelFormatOf(FrameFormat format) {
    switch (format) {
    case FrameFormat::Nv12:
        return hosting::PixelFormat::Nv12;
    case FrameFormat::Bgra:
        return hosting::PixelFormat::Bgra;
    case FrameFormat::Rgba:
        return hosting::PixelFormat::Rgba;
    case FrameFormat::I420:
        break;
    }
    return hosting::PixelFormat::I420;
}

} // namespace

int PropertyCount() {
    return kSettingCount;
}

PropertyInfo PropertyAt(int index) {
    const auto& info = frei0r_adapter::InfoOf(static_cast<Setting>(index));
    return {info.name, info.explanation};
}

int MaxFrameSide() {
    return static_cast<int>(frei0r_adapter::kMaxFrameSide);
}

struct ElementShow::State {
    mutable std::mutex lock;
    frei0r_adapter::FilterSettings settings; // carried into every new instance
    std::unique_ptr<FilterInstance> instance;
    int width = 0; // the negotiated frame size, 0 before caps
    int height = 0;
    FrameTimes times;

    // An instance of the negotiated size with the properties set, unless one is there.
    void EnsureInstance() {
        if (instance || width <= 0 || height <= 0) return;
        instance = std::make_unique<FilterInstance>(unsigned(width), unsigned(height));
        for (int i = 0; i < kSettingCount; ++i)
            instance->Set(static_cast<Setting>(i), settings[static_cast<Setting>(i)]);
    }
};

ElementShow::ElementShow() : state_(std::make_unique<State>()) {}

ElementShow::~ElementShow() = default;

void ElementShow::Set(int index, std::string_view value) {
    if (index < 0 || index >= kSettingCount) return;
    const auto setting = static_cast<Setting>(index);
    const std::lock_guard lock(state_->lock);
    state_->settings[setting] = value;
    if (state_->instance) state_->instance->Set(setting, value);
}

std::string ElementShow::Get(int index) const {
    if (index < 0 || index >= kSettingCount) return {};
    const std::lock_guard lock(state_->lock);
    return state_->settings[static_cast<Setting>(index)];
}

bool ElementShow::Negotiate(int width, int height, int rateNumerator, int rateDenominator) {
    if (width < 1 || height < 1 || width > MaxFrameSide() || height > MaxFrameSide()) return false;
    State& state = *state_;
    const std::lock_guard lock(state.lock);
    state.times.SetRate(rateNumerator, rateDenominator);
    if (width == state.width && height == state.height) return true;
    // The old show (its endpoint, its season) ends before a new one is made, so that the new one
    // can listen on the same address.
    state.instance.reset();
    state.width = width;
    state.height = height;
    state.EnsureInstance();
    return true;
}

void ElementShow::Draw(std::optional<double> streamSeconds, const FramePlanes& frame) {
    State& state = *state_;
    const std::lock_guard lock(state.lock);
    const double time = state.times.Next(streamSeconds);
    state.EnsureInstance(); // after a stop the caps may come back unchanged, and not be set again
    if (!state.instance) return;
    hosting::PictureView picture;
    picture.format = PixelFormatOf(frame.format);
    picture.width = frame.width;
    picture.height = frame.height;
    for (std::size_t i = 0; i < std::size(picture.planes); ++i) {
        picture.planes[i] = frame.data[i];
        picture.strides[i] = frame.strides[i];
    }
    // A frame of another size than negotiated is left as it is.
    state.instance->DrawOnto(time, frei0r_adapter::TimeUnit::Seconds, picture);
}

void ElementShow::Stop() {
    const std::lock_guard lock(state_->lock);
    state_->instance.reset();
    state_->times.Restart();
}

} // namespace gstreamer_adapter
