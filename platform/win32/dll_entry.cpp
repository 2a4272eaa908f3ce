// The DLL's entry point as the Windows loader calls it (stdcall, undecorated DllMain@12 is what
// the loader looks up through the image's entry field). It hands process attach to the
// plug-in's own DllMain, which knows nothing of <windows.h>.
#include "platform/win32/dll_entry.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    return askgame::OnDllEntry(module, reason, reserved) ? TRUE : FALSE;
}
