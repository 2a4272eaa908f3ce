#include "adapters/frei0r/filter_instance.h"

#include <cstdio>
#include <cstring>

#include "adapters/frei0r/shared_plugin.h"
#include "host/frame.h"
#include "platform/shell.h"

namespace frei0r_adapter {

namespace {

// Bytes of a width × height BGRA frame; nothing when that does not fit the address space.
std::optional<std::size_t> FrameBytes(unsigned width, unsigned height) {
    std::size_t pixels = 0;
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(std::size_t{width}, std::size_t{height}, &pixels) ||
        __builtin_mul_overflow(pixels, std::size_t{host::kBytesPerPixel}, &bytes))
        return std::nullopt;
    return bytes;
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

FilterInstance::FilterInstance(unsigned width, unsigned height) : width_(width), height_(height) {}

void FilterInstance::Set(Setting setting, std::string_view value) {
    const std::lock_guard lock(lock_);
    std::string& current = settings_[setting];
    if (current == value) return; // some tools set every parameter before every frame
    current = value;
    changed_ = true;
}

const char* FilterInstance::Get(Setting setting) const {
    const std::lock_guard lock(lock_);
    return settings_[setting].c_str();
}

void FilterInstance::Update(double time, TimeUnit unit, const std::uint32_t* in,
                            std::uint32_t* out) {
    if (!out) return;
    const std::lock_guard lock(lock_);
    const auto bytes = FrameBytes(width_, height_);
    if (!bytes) return;
    if (in && in != out) std::memcpy(out, in, *bytes);
    if (!Prepare(unit)) return;

    const long frame = clock_->FrameAt(time);
    if (frame < show_->LastFrame()) {
        // The tool went back in the stream (a seek in an editor): the game starts over and
        // catches up with the events due by then.
        std::string error;
        show_ = MakeShow(error);
        if (!show_) {
            Report(error);
            return;
        }
    }
    show_->Draw(frame, reinterpret_cast<BYTE*>(out));
    if (const std::string failure = show_->TakeFailure(); !failure.empty())
        Report(settings_[Setting::Scenario] + ": the scenario stopped " + failure);
}

bool FilterInstance::Prepare(TimeUnit unit) {
    if (changed_) {
        changed_ = false;
        show_.reset(); // the old game goes before the new one is made
        clock_.reset();
        std::string error;
        show_ = MakeShow(error);
        if (!show_) {
            Report(error + "; frames pass through untouched");
            return false;
        }
        clock_ = std::make_unique<StreamClock>(unit, show_->Played().fps);
    }
    return show_ != nullptr;
}

std::unique_ptr<ScenarioShow> FilterInstance::MakeShow(std::string& error) const {
    for (int i = 0; i < static_cast<int>(Setting::Count); ++i) {
        const auto setting = static_cast<Setting>(i);
        if (settings_[setting].size() > kMaxSettingBytes) {
            error = std::string(InfoOf(setting).name) + ": a value longer than " +
                    std::to_string(kMaxSettingBytes) + " bytes";
            return nullptr;
        }
    }
    if (width_ == 0 || height_ == 0 || width_ > kMaxFrameSide || height_ > kMaxFrameSide) {
        error = "frames of " + std::to_string(width_) + "x" + std::to_string(height_) +
                " cannot be drawn on (1 to " + std::to_string(kMaxFrameSide) + " pixels a side)";
        return nullptr;
    }
    std::optional<host::GameMode> mode;
    if (const std::string& text = settings_[Setting::Mode]; !text.empty()) {
        mode = ParseGameMode(text);
        if (!mode) {
            error = "mode " + Quoted(text) + ": expected free or challenge";
            return nullptr;
        }
    }
    std::optional<std::uint32_t> lcid;
    if (const std::string& text = settings_[Setting::Language]; !text.empty()) {
        lcid = ParseLanguage(text);
        if (!lcid) {
            error = "language " + Quoted(text) +
                    ": expected en, zh-CN, zh-TW, zh-HK, zh-SG or a language id such as 2052";
            return nullptr;
        }
    }
    const std::string& path = settings_[Setting::Scenario];
    if (path.empty()) {
        error = "no scenario: set the scenario parameter to a scenario file";
        return nullptr;
    }
    auto parsed = host::LoadScenarioFile(path);
    if (!parsed.scenario) {
        error = parsed.error;
        return nullptr;
    }
    if (mode && *mode != parsed.scenario->mode) {
        error = "mode " + Quoted(settings_[Setting::Mode]) + " does not match " + path +
                ", which plays the " + host::GameModeName(parsed.scenario->mode) + " game";
        return nullptr;
    }
    host::PluginLibrary* plugin = SharedPlugin(error);
    if (!plugin) return nullptr;
    const LCID language = lcid.value_or(parsed.scenario->lcid.value_or(GetSystemDefaultLCID()));
    return ScenarioShow::Create(*plugin, std::move(*parsed.scenario), static_cast<int>(width_),
                                static_cast<int>(height_), language, error);
}

void FilterInstance::Report(const std::string& message) const {
    std::fprintf(stderr, "askgame: %s\n", message.c_str());
}

} // namespace frei0r_adapter
