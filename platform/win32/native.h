// The real Windows API, reached through plain types. The platform headers declare Win32-shaped
// types of their own (WCHAR is char16_t, DWORD is uint32_t), which clash with <windows.h>; so
// only native.cpp includes <windows.h>, and the backend files call the system through this
// header. On Windows wchar_t and char16_t are both 16-bit UTF-16 units: text passes through
// unconverted. Structures whose layouts are byte-identical on both sides (TEXTMETRICW,
// GLYPHMETRICS, MAT2, SIZE) pass as untyped pointers; native.cpp asserts their sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace native {

// ---- GDI
void* GetDC(void* window);
int ReleaseDC(void* window, void* dc);
void* CreateCompatibleDC(void* dc);
int DeleteDC(void* dc);
void* CreateFontW(int height, int width, int escapement, int orientation, int weight,
                  std::uint32_t italic, std::uint32_t underline, std::uint32_t strikeOut,
                  std::uint32_t charSet, std::uint32_t outPrecision, std::uint32_t clipPrecision,
                  std::uint32_t quality, std::uint32_t pitchAndFamily, const char16_t* face);
void* SelectObject(void* dc, void* object);
int DeleteObject(void* object);
int SetBkMode(void* dc, int mode);
int GetTextMetricsW(void* dc, void* textMetricW);
std::uint32_t GetGlyphOutlineW(void* dc, unsigned ch, unsigned format, void* glyphMetrics,
                               std::uint32_t bufferSize, void* buffer, const void* mat2);
int GetTextExtentPoint32W(void* dc, const char16_t* text, int count, void* size);
// Whether the font selected into `dc` has a glyph of its own for the UTF-16 unit `ch`.
bool FontHasGlyph(void* dc, char16_t ch);

// ---- Code pages
unsigned GetACP();
int IsValidCodePage(unsigned codePage);
int MultiByteToWideChar(unsigned codePage, std::uint32_t flags, const char* src, int srcLen,
                        char16_t* dst, int dstLen);
int WideCharToMultiByte(unsigned codePage, std::uint32_t flags, const char16_t* src, int srcLen,
                        char* dst, int dstLen, const char* defaultChar, int* usedDefault);

// ---- Modules, folders, language
void* GetModuleHandleW(const char16_t* name);
int GetModuleHandleExW(std::uint32_t flags, const char16_t* nameOrAddress, void** module);
std::uint32_t GetModuleFileNameW(void* module, char16_t* buffer, std::uint32_t size);
// SHGetFolderPathW for `csidl` (with CSIDL_FLAG_CREATE when `create`); true on S_OK.
bool GetFolderPath(int csidl, bool create, char16_t* path);
std::uint32_t GetSystemDefaultLCID();
int MessageBoxW(void* owner, const char16_t* text, const char16_t* caption, unsigned type);
// GetOpenFileNameW on the platform header's OPENFILENAMEW, whose fields are the system
// structure's leading ones (the rest are given as zero).
int GetOpenFileNameW(void* openFileName);

// ---- Libraries, for hosts that load the plug-in
void* LoadLibraryW(const char16_t* path);
void* GetProcAddress(void* module, const char* name);
std::uint32_t GetLastError();

// ---- Files
std::FILE* _wfopen(const char16_t* path, const char16_t* mode);
std::uint32_t GetFileAttributesW(const char16_t* path);
int CreateDirectoryW(const char16_t* path);
// A file opened for reading only (folders too, so that they can be told apart), or nullptr.
void* OpenForReading(const char16_t* path);
// Whether the opened file is a plain file on disk: not a folder, pipe, console or device.
bool IsRegularFile(void* file);
bool GetFileSize(void* file, std::uint64_t& size);
// Reads up to `size` bytes; `got` is 0 at the end of the file.
bool ReadFile(void* file, void* buffer, std::uint32_t size, std::uint32_t& got);
void CloseFile(void* file);

// ---- Debugger, processor
void OutputDebugStringA(const char* text);
void OutputDebugStringW(const char16_t* text);
int IsProcessorFeaturePresent(std::uint32_t feature);

} // namespace native
