// The code-page layer: conversions in both directions never write past the buffer they are
// given, the size they ask for is the size they write, and UTF-8 round-trips.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/codepage.h"

namespace {

constexpr UINT kCodePages[] = {CP_UTF8, CP_UTF7, 936, 950, 1252, 932, 949, 1251, 0};
constexpr int kGuard = 16;

void CheckToWide(UINT page, DWORD flags, const char* bytes, int length) {
    const int needed = MultiByteToWideChar(page, flags, bytes, length, nullptr, 0);
    FUZZ_CHECK(needed >= 0);
    if (needed == 0) return;
    std::vector<char16_t> out(static_cast<std::size_t>(needed) + kGuard, u'\x7777');
    const int written = MultiByteToWideChar(page, flags, bytes, length, out.data(), needed);
    FUZZ_CHECK(written == needed);
    for (int i = needed; i < needed + kGuard; ++i)
        FUZZ_CHECK(out[static_cast<std::size_t>(i)] == u'\x7777');
    // A buffer one unit short fails and writes nothing a caller could take for a result.
    if (needed > 1) {
        std::vector<char16_t> small(static_cast<std::size_t>(needed - 1));
        FUZZ_CHECK(MultiByteToWideChar(page, flags, bytes, length, small.data(), needed - 1) == 0);
    }
    // Back to the code page: the same size contract.
    const int back = WideCharToMultiByte(page == CP_UTF7 ? CP_UTF8 : page, 0, out.data(), written,
                                         nullptr, 0, nullptr, nullptr);
    FUZZ_CHECK(back >= 0);
    if (back > 0) {
        std::vector<char> narrow(static_cast<std::size_t>(back) + kGuard, '\x55');
        FUZZ_CHECK(WideCharToMultiByte(page == CP_UTF7 ? CP_UTF8 : page, 0, out.data(), written,
                                       narrow.data(), back, nullptr, nullptr) == back);
        for (int i = back; i < back + kGuard; ++i)
            FUZZ_CHECK(narrow[static_cast<std::size_t>(i)] == '\x55');
        // Valid UTF-8 comes back byte for byte.
        if (page == CP_UTF8 && (flags & MB_ERR_INVALID_CHARS) && length >= 0)
            FUZZ_CHECK(back == length &&
                       std::memcmp(narrow.data(), bytes, static_cast<std::size_t>(length)) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const UINT page = kCodePages[data[0] % std::size(kCodePages)];
    const DWORD flags = (data[1] & 1) ? MB_ERR_INVALID_CHARS : 0;
    const char* bytes = reinterpret_cast<const char*>(data) + 2;
    const int length = static_cast<int>(size - 2);
    CheckToWide(page, flags, bytes, length);
    // NUL-terminated form: the terminator is counted.
    std::vector<char> terminated(bytes, bytes + length);
    terminated.push_back('\0');
    const int withNul = MultiByteToWideChar(page, flags, terminated.data(), -1, nullptr, 0);
    FUZZ_CHECK(withNul >= 0);
    // The other way from arbitrary UTF-16 units (lone surrogates included).
    std::vector<char16_t> units(static_cast<std::size_t>(length) / 2);
    if (!units.empty()) std::memcpy(units.data(), bytes, units.size() * 2);
    const int narrow =
        WideCharToMultiByte(page == CP_UTF7 ? CP_UTF8 : page, 0, units.data(),
                            static_cast<int>(units.size()), nullptr, 0, nullptr, nullptr);
    FUZZ_CHECK(narrow >= 0);
    return 0;
}
