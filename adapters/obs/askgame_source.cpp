#include "adapters/obs/askgame_source.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

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

std::string Token() {
    const char* chosen = std::getenv(kTokenVariable);
    return chosen && *chosen ? chosen : show::NewToken();
}

} // namespace

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
    const std::lock_guard guard(lock_);
    if (read == settings_ && show_) return;
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
    show_.reset();                             // the old endpoint lets go of its address first
    obs_source_output_video(source_, nullptr); // the old show's last frame goes too
    if (!settings_) return;
    canvases_ = std::make_unique<CanvasRing>(width, height);
    if (!canvases_->Next()) {
        blog(LOG_WARNING, "askgame: an output of %dx%d cannot be drawn on", width, height);
        return;
    }
    std::string error;
    hosting::PluginLibrary* plugin = SharedPlugin(error);
    if (plugin) show_ = LiveShow::Start(*plugin, *settings_, width, height, fps, Token(), error);
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

obs_properties_t* AskgameSource::Properties() {
    obs_properties_t* properties = obs_properties_create();
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
