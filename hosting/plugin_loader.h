// The plug-in library, opened with the system loader and reached through its three exports, found
// by name.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "askgame/exports.h"

namespace hosting {

class PluginLibrary {
public:
    // Opens the library and finds the three exports. On failure answers null and says what is
    // wrong in `error`: the loader's own message, or the names of the missing exports.
    static std::unique_ptr<PluginLibrary> Open(const std::string& path, std::string& error);
    // Which of the three exports a loaded library lacks (empty when it has them all).
    static std::vector<std::string> MissingExports(void* library);

    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
    ~PluginLibrary();

    const std::string& Path() const { return path_; }
    QvCreateVideoEffectFn CreateVideoEffect = nullptr;
    QvCreateEffectUIFn CreateEffectUI = nullptr;
    QvDestroyEffectFn DestroyEffect = nullptr;

private:
    PluginLibrary() = default;
    void* handle_ = nullptr;
    std::string path_;
};

// libaskgame.so in the folder of the running host program.
std::string DefaultPluginPath();

} // namespace hosting
