// Code pages, converted by the system. ASKGAME_ACP still overrides the ANSI code page, so that
// a host or a test can pick it as on every other system.
#include "platform/codepage.h"

#include <climits>
#include <cstdlib>

#include "platform/win32/native.h"

UINT GetACP() {
    if (const char* value = std::getenv("ASKGAME_ACP")) {
        char* end = nullptr;
        const unsigned long codePage = std::strtoul(value, &end, 10);
        if (end != value && *end == '\0' && codePage <= UINT_MAX &&
            IsValidCodePage(static_cast<UINT>(codePage)))
            return static_cast<UINT>(codePage);
    }
    return native::GetACP();
}

BOOL IsValidCodePage(UINT codePage) {
    return native::IsValidCodePage(codePage);
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst,
                        int dstLen) {
    if (!src || srcLen < -1 || dstLen < 0 || (dstLen > 0 && !dst)) return 0;
    // The thread and OEM pseudo code pages mean the process's ANSI one, as they do elsewhere.
    if (codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP)
        codePage = GetACP();
    return native::MultiByteToWideChar(codePage, flags, src, srcLen, dst, dstLen);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, LPSTR dst, int dstLen,
                        LPCSTR defaultChar, BOOL* usedDefault) {
    if (!src || srcLen < -1 || dstLen < 0 || (dstLen > 0 && !dst)) return 0;
    if (codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP)
        codePage = GetACP();
    return native::WideCharToMultiByte(codePage, flags, src, srcLen, dst, dstLen, defaultChar,
                                       usedDefault);
}
