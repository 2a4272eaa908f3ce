// Modules, folders and language from the system; a message box or file dialog with no
// presenter installed is the system's own window.
#include "platform/shell.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <optional>

#include "platform/shell_defaults.h"
#include "platform/win32/native.h"

namespace {

// A whole decimal number, or hexadecimal after "0x"; nothing for anything else.
std::optional<LCID> ParseLcid(const char* text) {
    if (!text || !*text) return std::nullopt;
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    if (!std::isxdigit(static_cast<unsigned char>(*text))) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, base);
    if (errno != 0 || *end != '\0' || value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<LCID>(value);
}

} // namespace

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    return static_cast<HMODULE>(native::GetModuleHandleW(moduleName));
}

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleNameOrAddress, HMODULE* module) {
    if (!module) return FALSE;
    // Modules are never reference-counted through this call: asking for one's own handle must
    // not keep a library loaded after its host frees it.
    void* found = nullptr;
    const BOOL ok = native::GetModuleHandleExW(flags | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                               moduleNameOrAddress, &found);
    *module = ok ? static_cast<HMODULE>(found) : nullptr;
    return ok ? TRUE : FALSE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    return native::GetModuleFileNameW(module, buffer, size);
}

BOOL SHGetSpecialFolderPathW(HWND /*owner*/, LPWSTR path, int csidl, BOOL create) {
    // The high byte carries flags such as "create"; the low byte names the folder.
    if (!path || (csidl & 0xFF) != CSIDL_APPDATA) return FALSE;
    return native::GetFolderPath(CSIDL_APPDATA, create != FALSE, path) ? TRUE : FALSE;
}

LCID GetSystemDefaultLCID() {
    if (const auto configured = ParseLcid(std::getenv("ASKGAME_LCID"))) return *configured;
    return native::GetSystemDefaultLCID();
}

int ShowDefaultMessageBox(const MessageBoxRequest& box) {
    const std::u16string text(box.text);
    const std::u16string caption(box.caption);
    return native::MessageBoxW(box.owner, text.c_str(), caption.c_str(), box.type);
}

BOOL ShowDefaultOpenFileDialog(OPENFILENAMEW* dialog) {
    return native::GetOpenFileNameW(dialog) ? TRUE : FALSE;
}
