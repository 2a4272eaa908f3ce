// Conversions between the library's UTF-16 text and the UTF-8 the Linux system speaks.
#pragma once

#include <string>
#include <string_view>

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// Invalid sequences become U+FFFD, one per maximal invalid subpart.
std::u16string Utf8ToUtf16(std::string_view text);
// Appends one code point, as a surrogate pair above U+FFFF; a surrogate or a value above
// U+10FFFF appends U+FFFD.
void AppendUtf16(std::u16string& out, char32_t codePoint);
