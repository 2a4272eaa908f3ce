// The system's dynamic loader, as the plug-in loader needs it: dlopen on Linux, LoadLibraryW on
// Windows.
#pragma once

#include <string>

namespace hosting {

// The plug-in's file name on this system, found beside the host program by default.
extern const char* const kPluginFileName;

// Loads a library for good: toolkit objects the plug-in made (panels, delegates) may be torn
// down late, and their code must still be there, so closing it leaves it mapped. Null, with the
// loader's reason in `error`, when it cannot be loaded.
void* OpenSystemLibrary(const std::string& path, std::string& error);
// The address of an exported function, or null.
void* FindLibrarySymbol(void* library, const char* name);
void CloseSystemLibrary(void* library);
// The folder of the running program, with a trailing separator; empty when unknown.
std::string RunningProgramFolder();

} // namespace hosting
