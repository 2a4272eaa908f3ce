// askgame-host: loads the askgame plug-in the way a broadcasting host does.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "askgame/exports.h"

namespace {

constexpr const char* kUsage = R"(usage: askgame-host check [--plugin PATH]

Loads the askgame plug-in (libaskgame.so beside this program unless --plugin names another)
and reports whether it exports the three entry points a host needs.
)";

std::string DefaultPluginPath(const char* argv0) {
    std::string self = argv0;
    const auto slash = self.find_last_of('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) +
           "/libaskgame.so";
}

int Check(const std::string& path) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "askgame-host: cannot load the plug-in: %s\n", dlerror());
        return 1;
    }
    int missing = 0;
    for (const char* name :
         {kQvCreateVideoEffectName, kQvCreateEffectUIName, kQvDestroyEffectName}) {
        const bool found = dlsym(library, name) != nullptr;
        std::printf("%-20s %s\n", name, found ? "found" : "missing");
        missing += found ? 0 : 1;
    }
    dlclose(library);
    return missing == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::string plugin = DefaultPluginPath(argv[0]);
    const char* command = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--plugin") && i + 1 < argc) {
            plugin = argv[++i];
        } else if (!command) {
            command = argv[i];
        } else {
            std::fprintf(stderr, "askgame-host: unexpected argument '%s'\n%s", argv[i], kUsage);
            return 2;
        }
    }
    if (command && !std::strcmp(command, "check")) return Check(plugin);
    std::fputs(kUsage, command ? stderr : stdout);
    return command ? 2 : 0;
}
