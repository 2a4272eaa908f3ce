// The Windows loader. Libraries are never freed (see OpenSystemLibrary), as dlopen's
// RTLD_NODELETE keeps them on Linux.
#include "hosting/system_library.h"

#include "platform/file.h"
#include "platform/utf.h"
#include "platform/win32/native.h"

namespace hosting {

const char* const kPluginFileName = "askgame.dll";

void* OpenSystemLibrary(const std::string& path, std::string& error) {
    void* module = native::LoadLibraryW(FromNativePath(path).c_str());
    if (!module) error = "Windows error " + std::to_string(native::GetLastError());
    return module;
}

void* FindLibrarySymbol(void* library, const char* name) {
    return native::GetProcAddress(library, name);
}

void CloseSystemLibrary(void*) {}

std::string RunningProgramFolder() {
    char16_t self[32768];
    const std::uint32_t length = native::GetModuleFileNameW(nullptr, self, 32768);
    if (length == 0 || length >= 32768) return {};
    const std::string program = Utf16ToUtf8(std::u16string_view(self, length));
    return program.substr(0, program.find_last_of("\\/") + 1);
}

} // namespace hosting
