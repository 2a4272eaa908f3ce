// The OBS module: registers the "askgame" source. Nothing thrown inside ever reaches OBS; a
// callback that failed is reported in OBS's log and leaves the source as it was.
#include <obs-module.h>

#include <exception>
#include <new>

#include "adapters/obs/askgame_source.h"

OBS_DECLARE_MODULE()

using obs_adapter::AskgameSource;

namespace {

template <typename Work>
void Guarded(const char* what, Work&& work) noexcept {
    try {
        work();
    } catch (const std::exception& failure) {
        blog(LOG_ERROR, "askgame: %s failed: %s", what, failure.what());
    } catch (...) {
        blog(LOG_ERROR, "askgame: %s failed", what);
    }
}

AskgameSource* Of(void* data) {
    return static_cast<AskgameSource*>(data);
}

const char* Name(void*) {
    return "askgame";
}

void* Create(obs_data_t* settings, obs_source_t* source) {
    AskgameSource* made = nullptr;
    Guarded("making a source", [&] { made = new AskgameSource(source, settings); });
    return made;
}

void Destroy(void* data) {
    Guarded("removing a source", [&] { delete Of(data); });
}

void Update(void* data, obs_data_t* settings) {
    Guarded("changing a source's settings", [&] { Of(data)->Update(settings); });
}

void Tick(void* data, float) {
    Guarded("drawing a frame", [&] { Of(data)->Tick(); });
}

void Defaults(obs_data_t* settings) {
    Guarded("setting defaults", [&] { AskgameSource::Defaults(settings); });
}

obs_properties_t* Properties(void* data) {
    obs_properties_t* properties = nullptr;
    Guarded("listing the properties", [&] { properties = AskgameSource::Properties(Of(data)); });
    return properties;
}

} // namespace

extern "C" bool obs_module_load(void) {
    obs_source_info info{};
    info.id = "askgame";
    info.type = OBS_SOURCE_TYPE_INPUT;
    info.output_flags = OBS_SOURCE_ASYNC_VIDEO;
    info.get_name = Name;
    info.create = Create;
    info.destroy = Destroy;
    info.update = Update;
    info.video_tick = Tick;
    info.get_defaults = Defaults;
    info.get_properties = Properties;
    info.icon_type = OBS_ICON_TYPE_CUSTOM;
    obs_register_source(&info);
    return true;
}

extern "C" const char* obs_module_description(void) {
    return "askgame: a quiz game drawn over any scene, driven by chat and a presenter's page";
}
