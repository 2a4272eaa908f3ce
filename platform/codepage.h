// Code pages: the Windows multi-byte conversions the plug-in calls, over glibc's iconv.
//
// The contracts are Win32's: a source length of -1 means "NUL-terminated, terminator included";
// a destination length of 0 asks for the size needed; every failure returns 0 and writes nothing
// a caller could mistake for a result. All functions are thread-safe.
#pragma once

#include "platform/wintypes.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_OEMCP = 1;      // no separate OEM code page here: the ANSI one
inline constexpr UINT CP_THREAD_ACP = 3; // the ANSI code page (there is one per process)
inline constexpr UINT CP_UTF7 = 65000;
inline constexpr UINT CP_UTF8 = 65001;

// MultiByteToWideChar: fail on an invalid byte sequence instead of writing U+FFFD.
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
// WideCharToMultiByte to UTF-8: fail on an unpaired surrogate instead of writing U+FFFD.
inline constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;

// The process's ANSI code page. Read on every call, in this order: the environment variable
// ASKGAME_ACP (a decimal code page that IsValidCodePage accepts), then the codeset of the
// locale the environment names (LC_ALL, LC_CTYPE, LANG; UTF-8 gives 65001), else 65001.
// Reading it afresh lets a host or a test set ASKGAME_ACP at any time before loading text.
UINT GetACP();

// Whether text in `codePage` can be converted to and from UTF-16 here.
BOOL IsValidCodePage(UINT codePage);

// Converts `srcLen` bytes in `codePage` to UTF-16. Invalid sequences become U+FFFD unless
// MB_ERR_INVALID_CHARS is given. Returns the units written (or needed, when dstLen is 0).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst, int dstLen);

// Converts `srcLen` UTF-16 units to `codePage`. A character the code page lacks becomes
// `defaultChar` (or "?") and sets *usedDefault; for UTF-7 and UTF-8 both must be null.
// Returns the bytes written (or needed, when dstLen is 0).
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, LPSTR dst, int dstLen,
                        LPCSTR defaultChar, BOOL* usedDefault);
