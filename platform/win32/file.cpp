// Files, opened by the system: paths stay Windows-shaped UTF-16 all the way down.
#include "platform/file.h"

#include "platform/utf.h"
#include "platform/win32/native.h"

std::string ToNativePath(std::u16string_view path) {
    return Utf16ToUtf8(path);
}

std::u16string FromNativePath(std::string_view path) {
    std::u16string wide = Utf8ToUtf16(path);
    for (char16_t& c : wide)
        if (c == u'/') c = u'\\';
    return wide;
}

FILE* _wfopen(LPCWSTR path, LPCWSTR mode) {
    if (!path || !mode) return nullptr;
    return native::_wfopen(path, mode);
}

DWORD GetFileAttributesW(LPCWSTR path) {
    if (!path) return INVALID_FILE_ATTRIBUTES;
    const DWORD attributes = native::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return attributes;
    // Callers tell only folders from files; the system's other bits do not matter here.
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FILE_ATTRIBUTE_DIRECTORY
                                                   : FILE_ATTRIBUTE_NORMAL;
}

BOOL PathFileExistsW(LPCWSTR path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES ? TRUE : FALSE;
}

BOOL CreateDirectoryW(LPCWSTR path, void* /*securityAttributes*/) {
    if (!path) return FALSE;
    return native::CreateDirectoryW(path);
}
