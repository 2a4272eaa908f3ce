// The file system as the library sees it. Paths inside the library are Windows-shaped
// (`\`-separated UTF-16); they are mapped to `/`-separated UTF-8 here, at the boundary.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/wintypes.h"

inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// The Linux path for a Windows-shaped one: `\` becomes `/`, UTF-16 becomes UTF-8.
std::string ToNativePath(std::u16string_view path);
// The Windows-shaped path for a Linux one: `/` becomes `\`.
std::u16string FromNativePath(std::string_view path);

// Opens a file; `mode` as for fopen ("rb", "r", "wb", ...). Null on failure.
FILE* _wfopen(LPCWSTR path, LPCWSTR mode);
// FILE_ATTRIBUTE_DIRECTORY or FILE_ATTRIBUTE_NORMAL, or INVALID_FILE_ATTRIBUTES when nothing
// is there.
DWORD GetFileAttributesW(LPCWSTR path);
// Nonzero when a file or folder exists at `path`.
BOOL PathFileExistsW(LPCWSTR path);
// Creates one folder; fails when it exists already or its parent is missing.
BOOL CreateDirectoryW(LPCWSTR path, void* securityAttributes);
