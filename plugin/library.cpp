#include "plugin/library.h"

#include <mutex>

#include "platform/shell.h"
#include "toolkit/UIlib.h"
#include "ui/host_profile.h"
#include "ui/localisation.h"

namespace {

std::mutex stateLock;
HMODULE libraryModule = nullptr;
std::u16string skinFolder;

} // namespace

BOOL DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    const std::u16string folder = GetSkinFolder(GetProfileLCID());
    {
        const std::lock_guard lock(stateLock);
        libraryModule = module;
        skinFolder = folder;
    }
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    const DuiLib::CDuiString resources =
        DuiLib::CPaintManagerUI::GetInstancePath() + folder.c_str();
    DuiLib::CPaintManagerUI::SetResourcePath(resources);
    return TRUE;
}

HMODULE GetLibraryModule() {
    {
        const std::lock_guard lock(stateLock);
        if (libraryModule) return libraryModule;
    }
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&GetLibraryModule), &self);
    return self;
}

std::u16string GetLibrarySkinFolder() {
    const std::lock_guard lock(stateLock);
    return skinFolder;
}
