// The byte-exact Windows types, constants and handles the plug-in's code is written against.
// Every other header takes them from here.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "frames, GUIDs and message records are little-endian byte layouts");

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using COLORREF = DWORD;
using LPVOID = void*;
using WCHAR = char16_t;
using LPWSTR = char16_t*;
using LPCWSTR = const char16_t*;
using LPSTR = char*;
using LPCSTR = const char*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

// The longest path the system's fixed path buffers hold, terminator included.
inline constexpr int MAX_PATH = 260;

// Opaque handles: distinct pointer types, so one kind cannot be passed for another.
#define ASKGAME_DECLARE_HANDLE(name)                                                               \
    struct name##__;                                                                               \
    using name = name##__*
ASKGAME_DECLARE_HANDLE(HINSTANCE);
ASKGAME_DECLARE_HANDLE(HWND);
ASKGAME_DECLARE_HANDLE(HDC);
ASKGAME_DECLARE_HANDLE(HFONT);
#undef ASKGAME_DECLARE_HANDLE
using HMODULE = HINSTANCE;
using HGDIOBJ = void*;
using HANDLE = void*;

// Left, top, right, bottom; right and bottom are exclusive.
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
    friend bool operator==(const RECT&, const RECT&) = default;
};
static_assert(sizeof(RECT) == 16);

// A 16-byte identifier in the usual in-memory layout: the three leading fields little-endian,
// then eight bytes in order.
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
    friend bool operator==(const GUID& a, const GUID& b) {
        return std::memcmp(&a, &b, sizeof(GUID)) == 0;
    }
};
static_assert(sizeof(GUID) == 16);

// The one pixel format the effects draw on: 32 bits per pixel, blue, green, red, fourth byte.
inline constexpr GUID MEDIASUBTYPE_RGB32 = {
    0xE436EB7E, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
