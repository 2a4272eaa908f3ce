// The one file that sees <windows.h>: plain-typed forwards to the system, see native.h.
#include "platform/win32/native.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The dialog and shell headers build on <windows.h>.
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is 16-bit UTF-16");
static_assert(sizeof(TEXTMETRICW) == 57 || sizeof(TEXTMETRICW) == 60);
static_assert(sizeof(GLYPHMETRICS) == 20);
static_assert(sizeof(MAT2) == 16);
static_assert(sizeof(SIZE) == 8);

namespace {

LPCWSTR W(const char16_t* text) {
    return reinterpret_cast<LPCWSTR>(text);
}
LPWSTR W(char16_t* text) {
    return reinterpret_cast<LPWSTR>(text);
}
HDC Dc(void* dc) {
    return static_cast<HDC>(dc);
}

// The platform header's file-dialog structure: the system structure's leading fields.
struct LeadingOpenFileName {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter;
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPWSTR lpstrFile;
    DWORD nMaxFile;
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCWSTR lpstrDefExt;
};
static_assert(offsetof(LeadingOpenFileName, lpstrDefExt) == offsetof(OPENFILENAMEW, lpstrDefExt));

} // namespace

namespace native {

void* GetDC(void* window) {
    return ::GetDC(static_cast<HWND>(window));
}
int ReleaseDC(void* window, void* dc) {
    return ::ReleaseDC(static_cast<HWND>(window), Dc(dc));
}
void* CreateCompatibleDC(void* dc) {
    return ::CreateCompatibleDC(Dc(dc));
}
int DeleteDC(void* dc) {
    return ::DeleteDC(Dc(dc));
}

void* CreateFontW(int height, int width, int escapement, int orientation, int weight,
                  std::uint32_t italic, std::uint32_t underline, std::uint32_t strikeOut,
                  std::uint32_t charSet, std::uint32_t outPrecision, std::uint32_t clipPrecision,
                  std::uint32_t quality, std::uint32_t pitchAndFamily, const char16_t* face) {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWidth = width;
    font.lfEscapement = escapement;
    font.lfOrientation = orientation;
    font.lfWeight = weight;
    font.lfItalic = static_cast<BYTE>(italic);
    font.lfUnderline = static_cast<BYTE>(underline);
    font.lfStrikeOut = static_cast<BYTE>(strikeOut);
    font.lfCharSet = static_cast<BYTE>(charSet);
    font.lfOutPrecision = static_cast<BYTE>(outPrecision);
    font.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    font.lfQuality = static_cast<BYTE>(quality);
    font.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (face) {
        // A face name longer than LOGFONTW holds is cut, as CreateFontW itself does.
        const size_t units = std::min<size_t>(wcslen(W(face)), LF_FACESIZE - 1);
        std::memcpy(font.lfFaceName, face, units * sizeof(WCHAR));
    }
    return ::CreateFontIndirectW(&font);
}

void* SelectObject(void* dc, void* object) {
    return ::SelectObject(Dc(dc), static_cast<HGDIOBJ>(object));
}
int DeleteObject(void* object) {
    return ::DeleteObject(static_cast<HGDIOBJ>(object));
}
int SetBkMode(void* dc, int mode) {
    return ::SetBkMode(Dc(dc), mode);
}
int GetTextMetricsW(void* dc, void* textMetricW) {
    return ::GetTextMetricsW(Dc(dc), static_cast<TEXTMETRICW*>(textMetricW));
}
std::uint32_t GetGlyphOutlineW(void* dc, unsigned ch, unsigned format, void* glyphMetrics,
                               std::uint32_t bufferSize, void* buffer, const void* mat2) {
    return ::GetGlyphOutlineW(Dc(dc), ch, format, static_cast<GLYPHMETRICS*>(glyphMetrics),
                              bufferSize, buffer, static_cast<const MAT2*>(mat2));
}
int GetTextExtentPoint32W(void* dc, const char16_t* text, int count, void* size) {
    return ::GetTextExtentPoint32W(Dc(dc), W(text), count, static_cast<SIZE*>(size));
}
bool FontHasGlyph(void* dc, char16_t ch) {
    WORD index = 0;
    const WCHAR unit = static_cast<WCHAR>(ch);
    if (::GetGlyphIndicesW(Dc(dc), &unit, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
        return false;
    return index != 0xFFFF;
}

unsigned GetACP() {
    return ::GetACP();
}
int IsValidCodePage(unsigned codePage) {
    return ::IsValidCodePage(codePage);
}
int MultiByteToWideChar(unsigned codePage, std::uint32_t flags, const char* src, int srcLen,
                        char16_t* dst, int dstLen) {
    return ::MultiByteToWideChar(codePage, flags, src, srcLen, W(dst), dstLen);
}
int WideCharToMultiByte(unsigned codePage, std::uint32_t flags, const char16_t* src, int srcLen,
                        char* dst, int dstLen, const char* defaultChar, int* usedDefault) {
    BOOL used = FALSE;
    const int written = ::WideCharToMultiByte(codePage, flags, W(src), srcLen, dst, dstLen,
                                              defaultChar, usedDefault ? &used : nullptr);
    if (usedDefault) *usedDefault = used;
    return written;
}

void* GetModuleHandleW(const char16_t* name) {
    return ::GetModuleHandleW(W(name));
}
int GetModuleHandleExW(std::uint32_t flags, const char16_t* nameOrAddress, void** module) {
    HMODULE found = nullptr;
    const BOOL ok = ::GetModuleHandleExW(flags, W(nameOrAddress), &found);
    if (module) *module = found;
    return ok;
}
std::uint32_t GetModuleFileNameW(void* module, char16_t* buffer, std::uint32_t size) {
    return ::GetModuleFileNameW(static_cast<HMODULE>(module), W(buffer), size);
}
void* LoadLibraryW(const char16_t* path) {
    return ::LoadLibraryW(W(path));
}
void* GetProcAddress(void* module, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}
std::uint32_t GetLastError() {
    return ::GetLastError();
}
bool GetFolderPath(int csidl, bool create, char16_t* path) {
    return ::SHGetFolderPathW(nullptr, csidl | (create ? CSIDL_FLAG_CREATE : 0), nullptr,
                              SHGFP_TYPE_CURRENT, W(path)) == S_OK;
}
std::uint32_t GetSystemDefaultLCID() {
    return ::GetSystemDefaultLCID();
}
int MessageBoxW(void* owner, const char16_t* text, const char16_t* caption, unsigned type) {
    return ::MessageBoxW(static_cast<HWND>(owner), W(text), W(caption), type);
}
int GetOpenFileNameW(void* openFileName) {
    auto* leading = static_cast<LeadingOpenFileName*>(openFileName);
    OPENFILENAMEW dialog{};
    std::memcpy(&dialog, leading, sizeof(LeadingOpenFileName));
    dialog.lStructSize = sizeof(OPENFILENAMEW);
    const BOOL chosen = ::GetOpenFileNameW(&dialog);
    leading->nFilterIndex = dialog.nFilterIndex;
    leading->nFileOffset = dialog.nFileOffset;
    leading->nFileExtension = dialog.nFileExtension;
    return chosen;
}

std::FILE* _wfopen(const char16_t* path, const char16_t* mode) {
    return ::_wfopen(W(path), W(mode));
}
std::uint32_t GetFileAttributesW(const char16_t* path) {
    return ::GetFileAttributesW(W(path));
}
int CreateDirectoryW(const char16_t* path) {
    return ::CreateDirectoryW(W(path), nullptr);
}
void* OpenForReading(const char16_t* path) {
    // Backup semantics let a folder open, so the caller sees what it is instead of a failure.
    const HANDLE file = ::CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}
bool IsRegularFile(void* file) {
    if (::GetFileType(file) != FILE_TYPE_DISK) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return false;
    return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}
bool GetFileSize(void* file, std::uint64_t& size) {
    LARGE_INTEGER value{};
    if (!::GetFileSizeEx(file, &value) || value.QuadPart < 0) return false;
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}
bool ReadFile(void* file, void* buffer, std::uint32_t size, std::uint32_t& got) {
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file, buffer, size, &read, nullptr);
    got = read;
    return ok != FALSE;
}
void CloseFile(void* file) {
    ::CloseHandle(file);
}

void OutputDebugStringA(const char* text) {
    ::OutputDebugStringA(text);
}
void OutputDebugStringW(const char16_t* text) {
    ::OutputDebugStringW(W(text));
}
int IsProcessorFeaturePresent(std::uint32_t feature) {
    return ::IsProcessorFeaturePresent(feature);
}

} // namespace native
