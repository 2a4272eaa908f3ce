#include "host/plugin_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace host {

namespace {

constexpr const char* kExportNames[] = {kQvCreateVideoEffectName, kQvCreateEffectUIName,
                                        kQvDestroyEffectName};

} // namespace

std::vector<std::string> PluginLibrary::MissingExports(void* library) {
    std::vector<std::string> missing;
    for (const char* name : kExportNames)
        if (!dlsym(library, name)) missing.emplace_back(name);
    return missing;
}

std::unique_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string& error) {
    // The library stays mapped until the process ends: toolkit objects the plug-in made (panels,
    // delegates) may be torn down late, and their code must still be there.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const char* why = dlerror();
        error = "cannot load the plug-in " + path + ": " + (why ? why : "unknown reason");
        return nullptr;
    }
    const auto missing = MissingExports(handle);
    if (!missing.empty()) {
        error = "the plug-in " + path + " does not export ";
        for (std::size_t i = 0; i < missing.size(); ++i)
            error += (i ? (i + 1 == missing.size() ? " and " : ", ") : "") + missing[i];
        error += " (an unfinished build?)";
        dlclose(handle);
        return nullptr;
    }
    std::unique_ptr<PluginLibrary> library(new PluginLibrary);
    library->handle_ = handle;
    library->path_ = path;
    library->CreateVideoEffect =
        reinterpret_cast<QvCreateVideoEffectFn>(dlsym(handle, kQvCreateVideoEffectName));
    library->CreateEffectUI =
        reinterpret_cast<QvCreateEffectUIFn>(dlsym(handle, kQvCreateEffectUIName));
    library->DestroyEffect =
        reinterpret_cast<QvDestroyEffectFn>(dlsym(handle, kQvDestroyEffectName));
    return library;
}

PluginLibrary::~PluginLibrary() {
    if (handle_) dlclose(handle_);
}

std::string DefaultPluginPath() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "libaskgame.so";
    const std::string program(self, static_cast<std::size_t>(length));
    return program.substr(0, program.find_last_of('/') + 1) + "libaskgame.so";
}

} // namespace host
