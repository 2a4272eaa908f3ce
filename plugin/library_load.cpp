// The load hook of libaskgame.so: the dynamic loader runs it when it maps the library, the way
// Windows calls DllMain on process attach.
#include "platform/shell.h"
#include "plugin/library.h"

namespace {

__attribute__((constructor)) void OnLibraryLoad() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&OnLibraryLoad), &self);
    DllMain(self, DLL_PROCESS_ATTACH, nullptr);
}

} // namespace
