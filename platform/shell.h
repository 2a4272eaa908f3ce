// Modules, the user's folders and language, message boxes and the file-open dialog.
//
// A module handle (HMODULE, HINSTANCE) is the address at which the module's image begins in
// memory, as on Windows. The host executable and every loaded shared library each have one.
//
// Message boxes and the file-open dialog have no window system behind them here: each is handed
// to a presenter that the host installs. Until it does, a message box is printed to stderr and
// answered IDOK, and the file dialog answers "cancelled".
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wintypes.h"

using LCID = DWORD;

// ---- Modules

// Flags of GetModuleHandleExW.
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x2;
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x4;

// Null: the host executable. Otherwise the loaded module whose file name (or full path) equals
// `moduleName`; NULL when none is loaded.
HMODULE GetModuleHandleW(LPCWSTR moduleName);
// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, `moduleNameOrAddress` is any address inside a
// module (a function or variable of it) and the answer is that module: the way a library finds
// its own handle. Otherwise as GetModuleHandleW. Modules are never reference-counted here.
BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleNameOrAddress, HMODULE* module);
// Writes the module's full, `\`-separated path. Null is the host executable. Returns the length
// written without the terminator; when the path does not fit, writes size - 1 units and the
// terminator and returns `size`. Returns 0 when the module is unknown or `size` is 0.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
// Names the file that stands for the host program (Linux path). A host that is itself a library
// inside another program (a video filter loaded by ffmpeg) names a file in the folder that holds
// its data, so that GetModuleFileNameW(NULL) and everything the plug-in finds beside the host
// lead there rather than to the program's own folder. Call before the plug-in is loaded; an
// empty path goes back to the running executable.
void SetHostProgramPath(const std::string& path);

// ---- Folders and language

inline constexpr int CSIDL_APPDATA = 26; // the per-user roaming application-data folder

// Writes the folder into `path` (MAX_PATH units). For CSIDL_APPDATA: $XDG_CONFIG_HOME when it
// is an absolute path, else $HOME/.config. With `create`, makes the folder when it is missing.
// FALSE for any other folder id, when no folder is known, or when the path would not fit.
BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int csidl, BOOL create);

inline constexpr LCID LCID_ENGLISH_US = 1033;
inline constexpr LCID LCID_CHINESE_SIMPLIFIED = 2052;
inline constexpr LCID LCID_CHINESE_TRADITIONAL = 1028;
inline constexpr LCID LCID_CHINESE_HONG_KONG = 3076;
inline constexpr LCID LCID_CHINESE_SINGAPORE = 4100;

// $ASKGAME_LCID when it holds a number (decimal, or hexadecimal after 0x); otherwise the
// territory of $LANG: zh_CN 2052, zh_TW 1028, zh_HK 3076, zh_SG 4100, anything else 1033.
LCID GetSystemDefaultLCID();

// ---- Message boxes

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// What a message box asks of the person in front of it.
struct MessageBoxRequest {
    HWND owner;
    std::u16string_view text;
    std::u16string_view caption;
    UINT type; // MB_* buttons and icon
};
// Shows the box and answers the button chosen (IDOK, IDCANCEL, ...).
using MessageBoxPresenter = std::function<int(const MessageBoxRequest&)>;

// Installs the presenter for every later message box and returns the one it replaces. An empty
// presenter restores the default (stderr, IDOK).
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);
// A null caption reads "Error", a null text the empty string, as on Windows.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// ---- The file-open dialog

inline constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
inline constexpr DWORD OFN_EXPLORER = 0x80000;

struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter; // pairs of display text and pattern, each NUL-ended, then one more NUL
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex; // 1-based
    LPWSTR lpstrFile;   // in: initial file name; out: the chosen path
    DWORD nMaxFile;     // units in lpstrFile, terminator included
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;         // OFN_*
    WORD nFileOffset;    // out: where the file name starts in lpstrFile
    WORD nFileExtension; // out: where the extension starts (0 when there is none)
    LPCWSTR lpstrDefExt;
};

struct FileFilter {
    std::u16string displayText;
    std::u16string pattern;
};

// What the file-open dialog asks of the person in front of it.
struct OpenFileRequest {
    HWND owner;
    std::vector<FileFilter> filters;
    DWORD filterIndex;
    std::u16string initialFile;
    std::u16string initialDir;
    std::u16string title;
    DWORD flags;
};
// Answers the chosen `\`-separated path, or nothing when the person cancels.
using OpenFilePresenter = std::function<std::optional<std::u16string>(const OpenFileRequest&)>;

// Installs the presenter for every later dialog and returns the one it replaces. An empty
// presenter restores the default, which cancels.
OpenFilePresenter SetOpenFilePresenter(OpenFilePresenter presenter);
// TRUE when a path was chosen and copied into lpstrFile. FALSE when the dialog was cancelled,
// the path does not fit nMaxFile, or OFN_FILEMUSTEXIST / OFN_PATHMUSTEXIST is set and the file /
// its folder is missing; lpstrFile is then left as it was.
BOOL GetOpenFileNameW(OPENFILENAMEW* dialog);
