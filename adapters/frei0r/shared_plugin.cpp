#include "adapters/frei0r/shared_plugin.h"

#include <dlfcn.h>

#include <filesystem>
#include <memory>
#include <mutex>

#include "platform/shell.h"

namespace frei0r_adapter {

namespace {

constexpr const char* kPluginFile = "libaskgame.so";
// The host program beside the plug-in: its folder is where the plug-in looks for the host's data.
constexpr const char* kHostProgramFile = "askgame-host";
// The package's own folder under PREFIX/lib.
constexpr const char* kPackageFolder = "askgame";
// A multiarch folder (x86_64-linux-gnu) lies in a folder of this name.
constexpr const char* kLibFolder = "lib";
// PREFIX/lib is the module's folder's parent, or its grandparent under a multiarch folder.
constexpr int kLibDepths = 2;

// The file of the module this code is linked into (the frei0r filter or the GStreamer element).
std::string ModulePath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(&ModulePath), &info) || !info.dli_fname) return {};
    return info.dli_fname;
}

struct Shared {
    std::mutex lock;
    bool tried = false;
    std::unique_ptr<hosting::PluginLibrary> plugin;
    std::string error;
};

Shared& State() {
    static auto* shared = new Shared; // kept until exit: effects may be torn down late
    return *shared;
}

} // namespace

std::string RunnableFolderOf(const std::string& modulePath) {
    namespace fs = std::filesystem;
    std::error_code code;
    const fs::path real = fs::canonical(modulePath, code);
    if (code) return {};
    // PREFIX/lib/TOOL/module.so → PREFIX/bin, where the build tree and `cmake --install` put the
    // plug-in; a system package keeps it in its own folder PREFIX/lib/askgame instead. A module in
    // PREFIX/lib/TRIPLET/TOOL/ is tried from PREFIX/lib/TRIPLET first, then from PREFIX/lib.
    fs::path lib = real.parent_path().parent_path();
    std::string fallback;
    for (int depth = 0; depth < kLibDepths; ++depth, lib = lib.parent_path()) {
        if (depth > 0 && lib.filename() != kLibFolder) break; // not under a multiarch folder
        const fs::path prefix = lib.parent_path();
        if (prefix.empty()) break;
        const fs::path runnable = prefix / "bin";
        const fs::path packaged = lib / kPackageFolder;
        if (fallback.empty()) fallback = runnable.string();
        if (fs::exists(runnable / kPluginFile, code)) return runnable.string();
        if (fs::exists(packaged / kPluginFile, code)) return packaged.string();
    }
    return fallback;
}

hosting::PluginLibrary* SharedPlugin(std::string& error) {
    Shared& shared = State();
    std::lock_guard lock(shared.lock);
    if (!shared.tried) {
        shared.tried = true;
        const std::string folder = RunnableFolderOf(ModulePath());
        if (folder.empty()) {
            shared.error = "cannot tell where askgame's own module is installed";
        } else {
            // The plug-in reads its skins and language files beside the host program; here that is
            // the runnable folder, not the video tool's own folder.
            SetHostProgramPath(folder + "/" + kHostProgramFile);
            shared.plugin = hosting::PluginLibrary::Open(folder + "/" + kPluginFile, shared.error);
        }
    }
    if (!shared.plugin) error = shared.error;
    return shared.plugin.get();
}

} // namespace frei0r_adapter
