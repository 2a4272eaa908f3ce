// State the plug-in keeps for as long as it is loaded, and its load hook.
#pragma once

#include <string>

#include "platform/wintypes.h"

inline constexpr DWORD DLL_PROCESS_DETACH = 0;
inline constexpr DWORD DLL_PROCESS_ATTACH = 1;
inline constexpr DWORD DLL_THREAD_ATTACH = 2;
inline constexpr DWORD DLL_THREAD_DETACH = 3;

#ifdef _WIN32
// g++ for Windows gives any function named DllMain C linkage, as it does main, and the loader's
// own entry point (platform/win32/dll_entry.cpp) holds that name: the load hook is renamed.
#define DllMain AskgameDllMain
#endif

// On process attach: keeps `module`, makes the host executable the toolkit's instance, picks the
// skin folder from the host profile's language and points the toolkit's resource path at it.
// Nothing else, for any reason. Always TRUE.
BOOL DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);

// The plug-in's own module, which its skin files lie beside: the one kept at load, or, where the
// plug-in's code is linked into a program without a load hook, the module holding this code.
HMODULE GetLibraryModule();

// The skin folder chosen at load ("skin\", "skinCht\" or "skinEn\"); empty before.
std::u16string GetLibrarySkinFolder();
