// The small pieces of tag syntax that the parser, the attribute reader and the encoding sniffer
// share, so that all three agree on where a tag, a name and a value end.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace markup {

inline constexpr std::size_t kNotFound = std::u16string_view::npos;

inline bool IsMarkupSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// A start tag begins with "<" and one of these: a letter, "_", ":" or any unit above U+0060.
inline bool IsNameStart(char16_t c) {
    return (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c > 0x60;
}

// Where a tag name that begins at `from` ends: at white space, "/" or ">".
std::size_t TagNameEnd(std::u16string_view text, std::size_t from);

// The offset just past the ">" of the start tag (or processing instruction) beginning at `at`,
// or kNotFound when the text ends first. A ">" inside a quoted value does not end the tag.
// Where the tag's name ends goes to `nameEnd`, when given.
std::size_t StartTagEnd(std::u16string_view text, std::size_t at, std::size_t* nameEnd = nullptr);

// The raw value of attribute `name` in `tag` (a start tag or processing instruction from its
// "<"). Names end at white space, "/", "=", ">" or "?"; a quoted value runs to its matching
// quote or to the end of `tag`; an unquoted one to white space or ">". Empty for an attribute
// without "=", nullopt when there is no such attribute.
std::optional<std::u16string_view> FindAttributeValue(std::u16string_view tag,
                                                      std::u16string_view name);

} // namespace markup
