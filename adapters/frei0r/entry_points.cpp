// The frei0r entry points: askgame as a filter for ffmpeg, GStreamer and MLT. Nothing thrown
// inside ever reaches the video tool; a frame whose drawing failed is left as copied.
// The header declares the entry points without C linkage of its own.
extern "C" {
#include <frei0r.h>
}

#include <new>

#include "adapters/frei0r/filter_instance.h"
#include "adapters/frei0r/guarded.h"

using frei0r_adapter::FilterInstance;
using frei0r_adapter::Guarded;
using frei0r_adapter::Setting;

namespace {

constexpr int kVersionMajor = 0;
constexpr int kVersionMinor = 1;
constexpr int kSettingCount = static_cast<int>(Setting::Count);

bool IsSetting(int index) {
    return index >= 0 && index < kSettingCount;
}

} // namespace

extern "C" {

int f0r_init() {
    return 1;
}

void f0r_deinit() {}

void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    if (!info) return;
    info->name = "askgame";
    info->author = "askgame";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_BGRA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = kVersionMajor;
    info->minor_version = kVersionMinor;
    info->num_params = kSettingCount;
    info->explanation = "Plays an askgame quiz scenario over the video";
}

void f0r_get_param_info(f0r_param_info_t* info, int index) {
    if (!info || !IsSetting(index)) return;
    const auto& setting = frei0r_adapter::InfoOf(static_cast<Setting>(index));
    info->name = setting.name;
    info->type = F0R_PARAM_STRING;
    info->explanation = setting.explanation;
}

f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    FilterInstance* instance = nullptr;
    Guarded("making a filter instance",
            [&] { instance = new (std::nothrow) FilterInstance(width, height); });
    return instance;
}

void f0r_destruct(f0r_instance_t instance) {
    Guarded("closing a filter instance", [&] { delete static_cast<FilterInstance*>(instance); });
}

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
    if (!instance || !param || !IsSetting(index)) return;
    const char* value = *static_cast<f0r_param_string*>(param);
    Guarded("setting a parameter", [&] {
        static_cast<FilterInstance*>(instance)->Set(static_cast<Setting>(index),
                                                    value ? value : "");
    });
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
    if (!instance || !param || !IsSetting(index)) return;
    *static_cast<f0r_param_string*>(param) =
        const_cast<char*>(static_cast<FilterInstance*>(instance)->Get(static_cast<Setting>(index)));
}

void f0r_update(f0r_instance_t instance, double time, const uint32_t* inframe, uint32_t* outframe) {
    if (!instance) return;
    // Which tool is calling decides the unit of `time`.
    const void* caller = __builtin_return_address(0);
    Guarded("drawing a frame", [&] {
        static_cast<FilterInstance*>(instance)->Update(
            time, frei0r_adapter::TimeUnitOfCallerAt(caller), inframe, outframe);
    });
}

} // extern "C"
