#include "platform/shell.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>

#include "platform/file.h"
#include "platform/shell_defaults.h"
#include "platform/utf.h"

namespace {

// ---- Modules

HMODULE ToHandle(const void* address) {
    return reinterpret_cast<HMODULE>(const_cast<void*>(address));
}

// The module whose image holds `address`, as the address where that image begins.
HMODULE ModuleContaining(const void* address) {
    Dl_info info{};
    if (!address || !dladdr(address, &info) || !info.dli_fbase) return nullptr;
    return ToHandle(info.dli_fbase);
}

// The lowest address of an object's loaded segments: the start of its image.
const void* ImageStart(const dl_phdr_info& object) {
    ElfW(Addr) lowest = ~ElfW(Addr){0};
    for (ElfW(Half) i = 0; i < object.dlpi_phnum; ++i)
        if (object.dlpi_phdr[i].p_type == PT_LOAD)
            lowest = std::min(lowest, object.dlpi_phdr[i].p_vaddr);
    if (lowest == ~ElfW(Addr){0}) return nullptr;
    return reinterpret_cast<const void*>(object.dlpi_addr + lowest);
}

HMODULE ExecutableHandle() {
    static const HMODULE handle = [] {
        const void* start = nullptr;
        // The dynamic linker reports the executable first.
        dl_iterate_phdr(
            [](dl_phdr_info* object, size_t, void* data) {
                *static_cast<const void**>(data) = ImageStart(*object);
                return 1;
            },
            &start);
        const HMODULE normalised = ModuleContaining(start);
        return normalised ? normalised : ToHandle(start);
    }();
    return handle;
}

std::mutex hostProgramMutex;
std::string hostProgramPath; // set by a host that is not the executable; empty otherwise

std::string RunningExecutablePath() {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
        if (length < 0) return {};
        if (static_cast<size_t>(length) < path.size()) {
            path.resize(static_cast<size_t>(length));
            return path;
        }
        if (path.size() >= (size_t{1} << 20)) return {};
        path.resize(path.size() * 2);
    }
}

// The host program's file: the one a host named, else the running executable.
std::string ExecutablePath() {
    {
        std::lock_guard lock(hostProgramMutex);
        if (!hostProgramPath.empty()) return hostProgramPath;
    }
    return RunningExecutablePath();
}

std::string AbsolutePath(const char* path) {
    char* resolved = ::realpath(path, nullptr);
    if (!resolved) return path;
    std::string absolute = resolved;
    std::free(resolved);
    return absolute;
}

// The Linux path of a module's file; empty when `module` is not the start of a loaded module.
std::string ModulePath(HMODULE module) {
    if (!module || module == ExecutableHandle()) return ExecutablePath();
    Dl_info info{};
    if (!dladdr(module, &info) || ToHandle(info.dli_fbase) != module || !info.dli_fname) return {};
    return AbsolutePath(info.dli_fname);
}

struct ModuleSearch {
    std::string name; // full path or file name
    HMODULE found = nullptr;
};

bool NameMatches(const std::string& path, const std::string& name) {
    if (path == name) return true;
    const auto slash = path.find_last_of('/');
    return slash != std::string::npos && path.compare(slash + 1, std::string::npos, name) == 0;
}

int MatchModule(dl_phdr_info* object, size_t, void* data) {
    auto& search = *static_cast<ModuleSearch*>(data);
    const bool isExecutable = !object->dlpi_name || !*object->dlpi_name;
    const std::string path =
        isExecutable ? RunningExecutablePath() : AbsolutePath(object->dlpi_name);
    if (!NameMatches(path, search.name)) return 0;
    search.found = ModuleContaining(ImageStart(*object));
    return 1;
}

// ---- Folders and language

std::string AppDataFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') return {};
        folder = std::string(home) + "/.config";
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

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

LCID LcidOfLocaleName(std::string_view locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    struct Territory {
        std::string_view name;
        LCID lcid;
    };
    static constexpr Territory kChinese[] = {{"zh_CN", LCID_CHINESE_SIMPLIFIED},
                                             {"zh_TW", LCID_CHINESE_TRADITIONAL},
                                             {"zh_HK", LCID_CHINESE_HONG_KONG},
                                             {"zh_SG", LCID_CHINESE_SINGAPORE}};
    for (const auto& territory : kChinese)
        if (locale == territory.name) return territory.lcid;
    return LCID_ENGLISH_US;
}

} // namespace

// ---- Modules

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    if (!moduleName) return ExecutableHandle();
    ModuleSearch search{ToNativePath(moduleName)};
    if (search.name.empty()) return nullptr;
    dl_iterate_phdr(MatchModule, &search);
    return search.found;
}

void SetHostProgramPath(const std::string& path) {
    std::lock_guard lock(hostProgramMutex);
    hostProgramPath = path;
}

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleNameOrAddress, HMODULE* module) {
    if (!module) return FALSE;
    *module = (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)
                  ? ModuleContaining(moduleNameOrAddress)
                  : GetModuleHandleW(moduleNameOrAddress);
    return *module ? TRUE : FALSE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    const std::string native = ModulePath(module);
    if (native.empty()) return 0;
    const std::u16string path = FromNativePath(native);
    if (path.size() < size) {
        std::copy(path.begin(), path.end(), buffer);
        buffer[path.size()] = u'\0';
        return static_cast<DWORD>(path.size());
    }
    // Too long: truncated to fit with its terminator, and the whole buffer size answered.
    std::copy_n(path.begin(), size - 1, buffer);
    buffer[size - 1] = u'\0';
    return size;
}

// ---- Folders and language

BOOL SHGetSpecialFolderPathW(HWND /*owner*/, LPWSTR path, int csidl, BOOL create) {
    // The high byte carries flags such as "create"; the low byte names the folder.
    if (!path || (csidl & 0xFF) != CSIDL_APPDATA) return FALSE;
    const std::string folder = AppDataFolder();
    if (folder.empty()) return FALSE;
    const std::u16string wide = FromNativePath(folder);
    if (wide.size() >= static_cast<size_t>(MAX_PATH)) return FALSE;
    if (create) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) return FALSE;
    }
    std::copy(wide.begin(), wide.end(), path);
    path[wide.size()] = u'\0';
    return TRUE;
}

LCID GetSystemDefaultLCID() {
    if (const auto configured = ParseLcid(std::getenv("ASKGAME_LCID"))) return *configured;
    const char* lang = std::getenv("LANG");
    return LcidOfLocaleName(lang ? lang : "");
}

// ---- What a message box and the file dialog do with no presenter installed

int ShowDefaultMessageBox(const MessageBoxRequest& box) {
    std::fprintf(stderr, "[message box] %s: %s\n", Utf16ToUtf8(box.caption).c_str(),
                 Utf16ToUtf8(box.text).c_str());
    return IDOK;
}

BOOL ShowDefaultOpenFileDialog(OPENFILENAMEW* /*dialog*/) {
    return FALSE; // nobody to ask: as if the person cancelled
}
