#include "hosting/plugin_loader.h"

#include "hosting/system_library.h"

namespace hosting {

namespace {

constexpr const char* kExportNames[] = {kQvCreateVideoEffectName, kQvCreateEffectUIName,
                                        kQvDestroyEffectName};

} // namespace

std::vector<std::string> PluginLibrary::MissingExports(void* library) {
    std::vector<std::string> missing;
    for (const char* name : kExportNames)
        if (!FindLibrarySymbol(library, name)) missing.emplace_back(name);
    return missing;
}

std::unique_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string& error) {
    std::string why;
    void* handle = OpenSystemLibrary(path, why);
    if (!handle) {
        error = "cannot load the plug-in " + path + ": " + why;
        return nullptr;
    }
    const auto missing = MissingExports(handle);
    if (!missing.empty()) {
        error = "the plug-in " + path + " does not export ";
        for (std::size_t i = 0; i < missing.size(); ++i)
            error += (i ? (i + 1 == missing.size() ? " and " : ", ") : "") + missing[i];
        error += " (an unfinished build?)";
        CloseSystemLibrary(handle);
        return nullptr;
    }
    std::unique_ptr<PluginLibrary> library(new PluginLibrary);
    library->handle_ = handle;
    library->path_ = path;
    library->CreateVideoEffect = reinterpret_cast<QvCreateVideoEffectFn>(
        FindLibrarySymbol(handle, kQvCreateVideoEffectName));
    library->CreateEffectUI =
        reinterpret_cast<QvCreateEffectUIFn>(FindLibrarySymbol(handle, kQvCreateEffectUIName));
    library->DestroyEffect =
        reinterpret_cast<QvDestroyEffectFn>(FindLibrarySymbol(handle, kQvDestroyEffectName));
    return library;
}

PluginLibrary::~PluginLibrary() {
    if (handle_) CloseSystemLibrary(handle_);
}

std::string DefaultPluginPath() {
    return RunningProgramFolder() + kPluginFileName;
}

} // namespace hosting
