#include "platform/file.h"

#include <sys/stat.h>

#include "platform/utf.h"

std::string ToNativePath(std::u16string_view path) {
    std::string native = Utf16ToUtf8(path);
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

std::u16string FromNativePath(std::string_view path) {
    std::u16string wide = Utf8ToUtf16(path);
    for (char16_t& c : wide)
        if (c == u'/') c = u'\\';
    return wide;
}

FILE* _wfopen(LPCWSTR path, LPCWSTR mode) {
    if (!path || !mode) return nullptr;
    return std::fopen(ToNativePath(path).c_str(), Utf16ToUtf8(mode).c_str());
}

DWORD GetFileAttributesW(LPCWSTR path) {
    struct stat info {};
    if (!path || ::stat(ToNativePath(path).c_str(), &info) != 0) return INVALID_FILE_ATTRIBUTES;
    return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

BOOL PathFileExistsW(LPCWSTR path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES ? TRUE : FALSE;
}

BOOL CreateDirectoryW(LPCWSTR path, void* /*securityAttributes*/) {
    if (!path) return FALSE;
    return ::mkdir(ToNativePath(path).c_str(), 0777) == 0 ? TRUE : FALSE;
}
