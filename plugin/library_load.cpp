// The load hook of libaskgame.so: the dynamic loader runs it when it maps the library, the way
// Windows calls DllMain on process attach.
#include <dlfcn.h>

namespace {

__attribute__((constructor)) void OnLibraryLoad() {
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&OnLibraryLoad), &info);
}

} // namespace
