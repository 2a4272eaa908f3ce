// Character references in attribute values: "&amp;", "&#65;", "&#x42;" and the named ones.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace markup {

struct NamedCharRef {
    std::u16string_view name; // as HTML 4.01 spells it (plus "apos")
    char32_t codePoint;
};

// The 253 named references, sorted by lower-cased name, the capital letter's entry first where
// two names differ only in case.
std::span<const NamedCharRef> NamedCharRefs();

// The code point a reference name (the part between "&" and ";") stands for, or 0 when none.
// Names match exactly first; failing that in any case, where the capital letter's entry wins
// ("&EACUTE;" is U+00C9, while "&eacute;" keeps its own U+00E9).
char32_t CharRefCodePoint(std::u16string_view name);

// Appends `value` to `out` with every recognised reference replaced by its character. An "&"
// that starts no recognised reference is copied as it stands.
void AppendDecodedValue(std::u16string& out, std::u16string_view value);

} // namespace markup
