#include "hosting/system_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace hosting {

const char* const kPluginFileName = "libaskgame.so";

void* OpenSystemLibrary(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : "unknown reason";
    }
    return handle;
}

void* FindLibrarySymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void CloseSystemLibrary(void* library) {
    dlclose(library);
}

std::string RunningProgramFolder() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return {};
    const std::string program(self, static_cast<std::size_t>(length));
    return program.substr(0, program.find_last_of('/') + 1);
}

} // namespace hosting
