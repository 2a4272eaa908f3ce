// The filter as a video tool sees it: the shared object opened with dlopen, its entry points,
// and an instance with its parameters set as ffmpeg sets them.
#pragma once

#include <dlfcn.h>
#include <frei0r.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hosting/frame.h"
#include "hosting/test_card.h"

namespace frei0r_test {

inline const std::string kRuntime = ASKGAME_RUNTIME_DIR;

struct Filter {
    void* library = nullptr;
    decltype(&f0r_construct) construct = nullptr;
    decltype(&f0r_destruct) destruct = nullptr;
    decltype(&f0r_set_param_value) set = nullptr;
    decltype(&f0r_update) update = nullptr;
    decltype(&f0r_get_plugin_info) info = nullptr;

    template <typename F>
    void Find(F& function, const char* name) {
        function = reinterpret_cast<F>(dlsym(library, name));
    }
};

inline Filter OpenFilter() {
    Filter filter;
    filter.library = dlopen(ASKGAME_FREI0R_FILTER, RTLD_NOW | RTLD_LOCAL);
    if (!filter.library) return filter;
    filter.Find(filter.construct, "f0r_construct");
    filter.Find(filter.destruct, "f0r_destruct");
    filter.Find(filter.set, "f0r_set_param_value");
    filter.Find(filter.update, "f0r_update");
    filter.Find(filter.info, "f0r_get_plugin_info");
    return filter;
}

// One filter instance, its parameters set as ffmpeg sets them (pointers to C strings).
class Instance {
public:
    Instance(const Filter& filter, unsigned width, unsigned height,
             const std::vector<std::string>& values)
        : filter_(filter), width_(width), height_(height) {
        handle_ = filter.construct(width, height);
        for (int i = 0; i < static_cast<int>(values.size()); ++i) {
            char* value = const_cast<char*>(values[i].c_str());
            filter.set(handle_, &value, i);
        }
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    ~Instance() { filter_.destruct(handle_); }

    // The output of frame `index` of the test card at 25 fps; the time passed is in seconds, or
    // in `timeScale`ths of one.
    hosting::Frame Frame(long index, double timeScale = 1) {
        hosting::Frame in =
            *hosting::MakeFrame(static_cast<int>(width_), static_cast<int>(height_));
        hosting::TestCard(in.width, in.height).Draw(index, in);
        hosting::Frame out = in;
        std::fill(out.pixels.begin(), out.pixels.end(), BYTE{0x5A});
        filter_.update(handle_, index * timeScale / 25.0,
                       reinterpret_cast<const uint32_t*>(in.pixels.data()),
                       reinterpret_cast<uint32_t*>(out.pixels.data()));
        return out;
    }

private:
    const Filter& filter_;
    unsigned width_;
    unsigned height_;
    f0r_instance_t handle_ = nullptr;
};

} // namespace frei0r_test
