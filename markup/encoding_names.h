// Encoding names as documents declare them, and the Windows code pages they stand for.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace markup {

// A code page the reader converts itself rather than through the system: 32-bit units, little
// endian, code points above U+FFFF becoming surrogate pairs.
inline constexpr std::uint32_t kReaderUtf32 = 0xFFFFFFFF;
// The code page meaning "the system's ANSI code page".
inline constexpr std::uint32_t kAnsiCodePage = 0;

struct EncodingName {
    std::u16string_view name; // lower case, as matched after lower-casing the declared name
    std::uint32_t codePage;
};

// Every known name, sorted by name.
std::span<const EncodingName> EncodingNames();

// The code page of a declared encoding name, matched in any case. "UTF-32" is the reader's own
// conversion; an empty name, one of 100 units or more, or an unknown one is the ANSI code page.
std::uint32_t CodePageOfEncoding(std::u16string_view name);

} // namespace markup
