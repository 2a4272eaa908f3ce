#include "plugin/library.h"

#include <mutex>

#include "platform/shell.h"
#include "toolkit/UIlib.h"
#include "ui/host_profile.h"
#include "ui/localisation.h"

namespace {

// Built on first use: the load hook may run before this file's namespace-scope objects would be
// constructed.
struct LibraryState {
    std::mutex lock;
    HMODULE module = nullptr;
    std::u16string skinFolder;
};

LibraryState& State() {
    static LibraryState state;
    return state;
}

} // namespace

BOOL DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    const std::u16string folder = GetSkinFolder(GetProfileLCID());
    {
        LibraryState& state = State();
        const std::lock_guard lock(state.lock);
        state.module = module;
        state.skinFolder = folder;
    }
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    const DuiLib::CDuiString resources =
        DuiLib::CPaintManagerUI::GetInstancePath() + folder.c_str();
    DuiLib::CPaintManagerUI::SetResourcePath(resources);
    return TRUE;
}

HMODULE GetLibraryModule() {
    {
        LibraryState& state = State();
        const std::lock_guard lock(state.lock);
        if (state.module) return state.module;
    }
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&GetLibraryModule), &self);
    return self;
}

std::u16string GetLibrarySkinFolder() {
    LibraryState& state = State();
    const std::lock_guard lock(state.lock);
    return state.skinFolder;
}
