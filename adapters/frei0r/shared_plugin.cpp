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

std::string FilterPath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(&FilterPath), &info) || !info.dli_fname) return {};
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

std::string RunnableFolderOf(const std::string& filterPath) {
    namespace fs = std::filesystem;
    std::error_code code;
    const fs::path real = fs::canonical(filterPath, code);
    if (code) return {};
    // PREFIX/lib/frei0r-1/askgame.so → PREFIX/bin, where the build tree and `cmake --install`
    // put the plug-in; a system package keeps it in its own folder PREFIX/lib/askgame instead.
    const fs::path lib = real.parent_path().parent_path();
    const fs::path prefix = lib.parent_path();
    if (prefix.empty()) return {};
    const fs::path runnable = prefix / "bin";
    const fs::path packaged = lib / "askgame";
    if (!fs::exists(runnable / kPluginFile, code) && fs::exists(packaged / kPluginFile, code))
        return packaged.string();
    return runnable.string();
}

hosting::PluginLibrary* SharedPlugin(std::string& error) {
    Shared& shared = State();
    std::lock_guard lock(shared.lock);
    if (!shared.tried) {
        shared.tried = true;
        const std::string folder = RunnableFolderOf(FilterPath());
        if (folder.empty()) {
            shared.error = "cannot tell where the filter itself is installed";
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
