// The plug-in side of the loader's entry point.
#include "platform/win32/dll_entry.h"

#include "plugin/library.h"

namespace askgame {

bool OnDllEntry(void* module, std::uint32_t reason, void* reserved) noexcept {
    try {
        return DllMain(static_cast<HINSTANCE>(module), reason, reserved) != FALSE;
    } catch (...) {
        return false; // the loader then unloads the library rather than run it half set up
    }
}

} // namespace askgame
