#include "adapters/obs/askgame_source.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

#include "adapters/obs/clipboard.h"
#include "platform/shell.h"

namespace obs_adapter {

namespace {

// Where the endpoint's token comes from when the user chooses it; else a fresh one is made.
constexpr const char* kTokenVariable = "ASKGAME_TOKEN";
constexpr const char* kPluginFile = "libaskgame.so";
// The plug-in finds its host's data beside the host program; here that is the plug-in's folder.
constexpr const char* kHostProgramFile = "askgame-host";
// The transcript's frame rate should OBS ever report none.
constexpr double kFallbackFps = 30;

// The folder of the plug-in's libraries and data: the one this module's platform library was
// loaded from (beside the module when installed, the build tree's runnable folder otherwise).
std::string RunnableFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(&SetHostProgramPath), &info) || !info.dli_fname)
        return {};
    std::error_code code;
    const auto real = std::filesystem::canonical(info.dli_fname, code);
    return code ? std::string() : real.parent_path().string();
}

// The plug-in, opened once for every source in the process and kept until exit.
hosting::PluginLibrary* SharedPlugin(std::string& error) {
    static std::string failure; // written once, before `plugin` is set
    static hosting::PluginLibrary* plugin = [] {
        const std::string folder = RunnableFolder();
        if (folder.empty()) {
            failure = "cannot tell where the plug-in's libraries are installed";
            return static_cast<hosting::PluginLibrary*>(nullptr);
        }
        SetHostProgramPath(folder + "/" + kHostProgramFile);
        return hosting::PluginLibrary::Open(folder + "/" + kPluginFile, failure).release();
    }();
    if (!plugin) error = failure;
    return plugin;
}

SettingsText TextOf(obs_data_t* settings) {
    SettingsText text;
    text.mode = obs_data_get_string(settings, kModeKey);
    text.language = obs_data_get_int(settings, kLanguageKey);
    text.banks = obs_data_get_string(settings, kBanksKey);
    text.endpoint = obs_data_get_string(settings, kEndpointKey);
    text.season = obs_data_get_string(settings, kSeasonKey);
    text.seasonOff = obs_data_get_bool(settings, kSeasonOffKey);
    text.chat = obs_data_get_string(settings, kChatKey);
    return text;
}

} // namespace

std::string AskgameSource::TokenOf(obs_data_t* settings) {
    const char* chosen = std::getenv(kTokenVariable);
    if (chosen && *chosen) return chosen;
    std::string kept = obs_data_get_string(settings, kTokenKey);
    if (kept.empty()) {
        kept = show::NewToken();
        obs_data_set_string(settings, kTokenKey, kept.c_str());
    }
    return kept;
}

AskgameSource::AskgameSource(obs_source_t* source, obs_data_t* settings) : source_(source) {
    Update(settings);
}

AskgameSource::~AskgameSource() {
    const std::lock_guard guard(lock_);
    show_.reset();
}

void AskgameSource::Update(obs_data_t* settings) {
    std::string error;
    auto read = ReadSettings(TextOf(settings), error);
    if (!read) blog(LOG_WARNING, "askgame: %s; the source stays empty", error.c_str());
    std::string token = TokenOf(settings);
    const std::lock_guard guard(lock_);
    if (read == settings_ && token == token_ && show_) return;
    token_ = std::move(token);
    settings_ = std::move(read);
    changed_ = true;
}

void AskgameSource::Tick() {
    obs_video_info video{};
    if (!obs_get_video_info(&video)) return;
    const auto width = static_cast<int>(video.base_width);
    const auto height = static_cast<int>(video.base_height);
    const std::lock_guard guard(lock_);
    if (changed_ || width != builtWidth_ || height != builtHeight_) {
        changed_ = false;
        builtWidth_ = width;
        builtHeight_ = height;
        Rebuild(width, height,
                video.fps_den > 0 ? double(video.fps_num) / video.fps_den : kFallbackFps);
    }
    if (!show_) return;
    std::uint8_t* canvas = canvases_->Next();
    show_->Draw(canvas);
    PremultipliedToStraight(canvas, static_cast<std::size_t>(width) * unsigned(height));
    frame_.data[0] = canvas;
    frame_.timestamp = obs_get_video_frame_time();
    obs_source_output_video(source_, &frame_);
}

void AskgameSource::Rebuild(int width, int height, double fps) {
    show_.reset(); // the old endpoint lets go of its address first
    address_.clear();
    obs_source_output_video(source_, nullptr); // the old show's last frame goes too
    if (!settings_) return;
    canvases_ = std::make_unique<CanvasRing>(width, height);
    if (!canvases_->Next()) {
        blog(LOG_WARNING, "askgame: an output of %dx%d cannot be drawn on", width, height);
        return;
    }
    std::string error;
    hosting::PluginLibrary* plugin = SharedPlugin(error);
    if (plugin) show_ = LiveShow::Start(*plugin, *settings_, width, height, fps, token_, error);
    if (!show_) {
        blog(LOG_WARNING, "askgame: %s; the source stays empty", error.c_str());
        return;
    }
    frame_ = {};
    frame_.width = static_cast<std::uint32_t>(width);
    frame_.height = static_cast<std::uint32_t>(height);
    frame_.linesize[0] = static_cast<std::uint32_t>(canvases_->RowBytes());
    frame_.format = VIDEO_FORMAT_BGRA;
    frame_.full_range = true;
    address_ = show_->Url();
    blog(LOG_INFO, "askgame: %s game at %dx%d; the show takes events at %s",
         hosting::GameModeName(settings_->mode), width, height, show_->Url().c_str());
}

void AskgameSource::Defaults(obs_data_t* settings) {
    obs_data_set_default_string(settings, kModeKey, "free");
    obs_data_set_default_int(settings, kLanguageKey, kSystemLanguage);
    obs_data_set_default_string(settings, kBanksKey, "");
    obs_data_set_default_string(settings, kEndpointKey, kDefaultEndpoint);
    obs_data_set_default_string(settings, kSeasonKey, kDefaultSeason);
    obs_data_set_default_bool(settings, kSeasonOffKey, false);
    obs_data_set_default_string(settings, kChatKey, "");
}

std::string AskgameSource::Address() {
    const std::lock_guard guard(lock_);
    return address_;
}

bool AskgameSource::CopyAddress(obs_properties_t*, obs_property_t*, void* data) {
    const std::string address = static_cast<AskgameSource*>(data)->Address();
    std::string error;
    if (address.empty())
        blog(LOG_WARNING, "askgame: the show is not up yet: no address to copy");
    else if (!CopyToClipboard(address, error))
        blog(LOG_WARNING, "askgame: cannot copy the presenter's address (%s); it is %s",
             error.c_str(), address.c_str());
    return false; // nothing in the properties changed
}

obs_properties_t* AskgameSource::Properties(AskgameSource* source) {
    obs_properties_t* properties = obs_properties_create();
    if (source) {
        // The presenter's page: its address (token included), to copy or to open here.
        const std::string address = source->Address();
        const std::string shown = address.empty()
                                      ? "Presenter's page: starts with the source's first frame"
                                      : "Presenter's page: " + address;
        obs_properties_add_text(properties, kAddressKey, shown.c_str(), OBS_TEXT_INFO);
        obs_properties_add_button2(properties, kCopyAddressKey, "Copy the address", CopyAddress,
                                   source);
        if (!address.empty()) {
            obs_property_t* open = obs_properties_add_button(properties, kOpenPageKey,
                                                             "Open the presenter's page", nullptr);
            obs_property_button_set_type(open, OBS_BUTTON_URL);
            obs_property_button_set_url(open, const_cast<char*>(address.c_str()));
        }
    }
    obs_property_t* mode = obs_properties_add_list(properties, kModeKey, "Game mode",
                                                   OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_STRING);
    obs_property_list_add_string(mode, "Free answers", "free");
    obs_property_list_add_string(mode, "Challenge", "challenge");
    obs_property_t* language = obs_properties_add_list(properties, kLanguageKey, "Language",
                                                       OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_INT);
    obs_property_list_add_int(language, "The system's", kSystemLanguage);
    obs_property_list_add_int(language, "English", 1033);
    obs_property_list_add_int(language, "简体中文", 2052);
    obs_property_list_add_int(language, "繁體中文 (台灣)", 1028);
    obs_property_list_add_int(language, "繁體中文 (香港)", 3076);
    obs_property_list_add_int(language, "简体中文 (新加坡)", 4100);
    obs_properties_add_path(properties, kBanksKey, "Question banks folder", OBS_PATH_DIRECTORY,
                            nullptr, nullptr);
    obs_properties_add_text(properties, kEndpointKey, "Endpoint address", OBS_TEXT_DEFAULT);
    obs_properties_add_text(properties, kSeasonKey, "Season", OBS_TEXT_DEFAULT);
    obs_properties_add_bool(properties, kSeasonOffKey, "Keep no season");
    obs_properties_add_text(
        properties, kChatKey,
        "Chat (twitch:CHANNEL, irc://HOST/CHANNEL, youtube:VIDEO; spaces between)",
        OBS_TEXT_DEFAULT);
    return properties;
}

} // namespace obs_adapter
