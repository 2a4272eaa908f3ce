#include "adapters/frei0r/filter_instance.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "adapters/frei0r/shared_plugin.h"
#include "hosting/frame.h"
#include "platform/shell.h"

namespace frei0r_adapter {

namespace {

// Where the endpoint's token comes from when the user chooses it; else a fresh one is made.
constexpr const char* kTokenVariable = "ASKGAME_TOKEN";
// The frame rate time is measured in when no scenario gives one.
constexpr double kLiveFps = 25;

// Bytes of a width × height BGRA frame; nothing when that does not fit the address space.
std::optional<std::size_t> FrameBytes(unsigned width, unsigned height) {
    std::size_t pixels = 0;
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(std::size_t{width}, std::size_t{height}, &pixels) ||
        __builtin_mul_overflow(pixels, std::size_t{hosting::kBytesPerPixel}, &bytes))
        return std::nullopt;
    return bytes;
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

FilterInstance::FilterInstance(unsigned width, unsigned height) : width_(width), height_(height) {}

FilterInstance::~FilterInstance() {
    const std::lock_guard lock(lock_);
    Teardown();
}

void FilterInstance::Teardown() {
    // Every wait is answered first (open dialogs, then actions and panel readings waiting for a
    // frame), so that the endpoint's and the page's threads can end.
    if (chat_) chat_->Stop();
    if (presenter_) presenter_->Close();
    if (live_) live_->Close();
    if (endpoint_) endpoint_->Stop();
    endpoint_.reset();
    if (live_) live_->ReportChatSources({});
    chat_.reset();
    show_.reset();
    presenter_.reset();
    live_.reset();
    clock_.reset();
    // The game has finished: what it recorded is committed before the file is let go.
    show::FinishSeasonRecording(recorder_.get(), season_,
                                [this](const std::string& line) { Report(line); });
    recorder_.reset();
}

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
    const auto frame = FrameAt(time, unit);
    if (!frame) return;
    show_->Draw(*frame, reinterpret_cast<BYTE*>(out), live_.get());
    if (presenter_) presenter_->OfferFrame(out, width_, height_);
    ReportFailure();
}

void FilterInstance::DrawOnto(double time, TimeUnit unit, const hosting::PictureView& picture) {
    const std::lock_guard lock(lock_);
    if (picture.width != static_cast<int>(width_) || picture.height != static_cast<int>(height_))
        return;
    const auto frame = FrameAt(time, unit);
    if (!frame) return;
    if (!overlay_) overlay_ = std::make_unique<hosting::Overlay>(picture.width, picture.height);
    BYTE* canvas = overlay_->Begin();
    if (!canvas) return;
    show_->Draw(*frame, canvas, live_.get());
    overlay_->FindInk();
    overlay_->CompositeOnto(picture);
    if (presenter_) presenter_->OfferPicture(picture);
    ReportFailure();
}

std::optional<long> FilterInstance::FrameAt(double time, TimeUnit unit) {
    if (!Prepare(unit)) return std::nullopt;
    const long frame = clock_->FrameAt(time);
    if (frame < show_->LastFrame() && !live_) {
        // The tool went back in the stream (a seek in an editor): the game starts over and
        // catches up with the events due by then. A live show just goes on. The season keeps
        // only the first pass: answers played again after a seek do not count twice.
        std::string error;
        show_ = MakeShow(error);
        if (!show_) {
            Report(error);
            return std::nullopt;
        }
    }
    return frame;
}

void FilterInstance::ReportFailure() {
    if (const std::string failure = show_->TakeFailure(); !failure.empty())
        Report(settings_[Setting::Scenario] + ": the scenario stopped " + failure);
}

bool FilterInstance::Prepare(TimeUnit unit) {
    if (changed_) {
        changed_ = false;
        Teardown(); // the old game and endpoint go before new ones are made
        std::string error;
        show_ = MakeShow(error);
        season_ = ParseSeason(settings_[Setting::Season], !settings_[Setting::Endpoint].empty());
        if (!show_ || !OpenEndpoint(error)) {
            Teardown();
            Report(error + "; frames pass through untouched");
            return false;
        }
        OpenSeason();
        OpenChat();
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
    const std::vector<std::string> chat = SplitChatSources(settings_[Setting::Chat]);
    for (const std::string& source : chat)
        if (!show::chat::ReadableChatSource(source, error)) {
            error = "chat: " + error;
            return nullptr;
        }
    if (!chat.empty() && settings_[Setting::Endpoint].empty()) {
        error = "chat: the show reads chat only with an endpoint (give endpoint=ADDRESS:PORT)";
        return nullptr;
    }
    std::optional<hosting::GameMode> mode;
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
    const bool live = !settings_[Setting::Endpoint].empty();
    if (path.empty() && !live) {
        error = "nothing to play: set the scenario parameter to a scenario file, or the "
                "endpoint parameter to an address for a live show";
        return nullptr;
    }
    if (path.empty() && !mode) {
        error = "a live show without a scenario needs the mode parameter (free or challenge)";
        return nullptr;
    }
    hosting::ScenarioResult parsed;
    if (path.empty()) {
        parsed.scenario.emplace();
        parsed.scenario->mode = *mode;
        parsed.scenario->fps = kLiveFps;
    } else {
        parsed = hosting::LoadScenarioFile(path);
    }
    if (!parsed.scenario) {
        error = parsed.error;
        return nullptr;
    }
    if (mode && *mode != parsed.scenario->mode) {
        error = "mode " + Quoted(settings_[Setting::Mode]) + " does not match " + path +
                ", which plays the " + hosting::GameModeName(parsed.scenario->mode) + " game";
        return nullptr;
    }
    hosting::PluginLibrary* plugin = SharedPlugin(error);
    if (!plugin) return nullptr;
    const LCID language = lcid.value_or(parsed.scenario->lcid.value_or(GetSystemDefaultLCID()));
    return ScenarioShow::Create(*plugin, std::move(*parsed.scenario), static_cast<int>(width_),
                                static_cast<int>(height_), language, error);
}

bool FilterInstance::OpenEndpoint(std::string& error) {
    const std::string& where = settings_[Setting::Endpoint];
    if (where.empty()) return true;
    show::EndpointOptions options;
    if (!show::ParseListenAddress(where, options.address, options.port) ||
        !show::IsLoopbackAddress(options.address)) {
        error = "endpoint " + Quoted(where) +
                ": expected ADDRESS:PORT on this machine, such as 127.0.0.1:8719";
        return false;
    }
    const char* token = std::getenv(kTokenVariable);
    options.token = token && *token ? token : show::NewToken();
    // A presenter chooses a bank by name from the banks folder, by default the scenario's.
    const std::string& scenario = settings_[Setting::Scenario];
    const std::string& banks = settings_[Setting::Banks];
    options.banks = !banks.empty()     ? std::filesystem::path(banks)
                    : scenario.empty() ? std::filesystem::path()
                                       : std::filesystem::path(scenario).parent_path();
    live_ = std::make_unique<LiveLink>(show_->Played().mode);
    presenter_ = std::make_unique<FilterPresenter>(*live_, options.banks, show_->Language());
    show_->EchoDialogsTo(presenter_->Echo());
    endpoint_ = std::make_unique<show::Endpoint>(*live_, options);
    presenter_->AddRoutes(endpoint_->Server());
    show::AddSeasonRoute(endpoint_->Server(), season_);
    if (!endpoint_->Start(error)) return false;
    Report("the presenter's page and the show's events are at " + endpoint_->Url());
    return true;
}

void FilterInstance::OpenSeason() {
    // No season file is named here, so a file that cannot be used is only warned of.
    std::string error;
    recorder_ = show::OpenSeasonRecorder(season_, show_->Played().mode, error,
                                         [this](const std::string& line) { Report(line); });
    if (!error.empty()) Report(error);
    show_->RecordSeasonInto(recorder_.get());
}

void FilterInstance::OpenChat() {
    const std::vector<std::string> sources = SplitChatSources(settings_[Setting::Chat]);
    if (sources.empty() || !live_) return;
    chat_ = std::make_unique<show::chat::ChatSources>(
        *live_, season_.off ? std::string() : show::SeasonPath(season_),
        show::chat::ChatOptions::FromEnvironment());
    std::string error; // each source was read by MakeShow; a YouTube one may still lack its key
    for (const std::string& source : sources)
        if (!chat_->Add(source, error)) Report("chat: " + error);
    live_->ReportChatSources([chat = chat_.get()] { return chat->Json(); });
    chat_->Start();
}

void FilterInstance::Report(const std::string& message) const {
    std::fprintf(stderr, "askgame: %s\n", message.c_str());
}

} // namespace frei0r_adapter
