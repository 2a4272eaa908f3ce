// The bridge from the loader's DllMain (dll_entry.cpp, which sees <windows.h>) to the plug-in's
// DllMain (plugin/library.h, which does not).
#pragma once

#include <cstdint>

namespace askgame {

// Forwards one loader notification; true when the library may stay loaded.
bool OnDllEntry(void* module, std::uint32_t reason, void* reserved) noexcept;

} // namespace askgame
