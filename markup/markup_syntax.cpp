#include "markup/markup_syntax.h"

namespace markup {
namespace {

bool IsQuote(char16_t c) {
    return c == u'"' || c == u'\'';
}

bool EndsAttributeName(char16_t c) {
    return IsMarkupSpace(c) || c == u'/' || c == u'=' || c == u'>' || c == u'?';
}

std::size_t SkipSpace(std::u16string_view text, std::size_t p) {
    while (p < text.size() && IsMarkupSpace(text[p]))
        ++p;
    return p;
}

} // namespace

std::size_t TagNameEnd(std::u16string_view text, std::size_t from) {
    std::size_t p = from;
    while (p < text.size() && !IsMarkupSpace(text[p]) && text[p] != u'/' && text[p] != u'>')
        ++p;
    return p;
}

std::size_t StartTagEnd(std::u16string_view text, std::size_t at, std::size_t* nameEnd) {
    std::size_t p = TagNameEnd(text, at + 1);
    if (nameEnd) *nameEnd = p;
    while (p < text.size()) {
        const char16_t c = text[p];
        if (c == u'>') return p + 1;
        ++p;
        if (c != u'=') continue;
        p = SkipSpace(text, p);
        if (p < text.size() && IsQuote(text[p])) {
            const std::size_t close = text.find(text[p], p + 1);
            if (close == kNotFound) return kNotFound;
            p = close + 1;
        }
    }
    return kNotFound;
}

std::optional<std::u16string_view> FindAttributeValue(std::u16string_view tag,
                                                      std::u16string_view name) {
    std::size_t p = TagNameEnd(tag, 1);
    for (;;) {
        p = SkipSpace(tag, p);
        if (p >= tag.size() || tag[p] == u'>') return std::nullopt;
        std::size_t q = p;
        while (q < tag.size() && !EndsAttributeName(tag[q]))
            ++q;
        if (q == p) { // a stray "/", "=" or "?"
            ++p;
            continue;
        }
        const std::u16string_view attribute = tag.substr(p, q - p);
        std::u16string_view value;
        p = SkipSpace(tag, q);
        if (p < tag.size() && tag[p] == u'=') {
            p = SkipSpace(tag, p + 1);
            if (p < tag.size() && IsQuote(tag[p])) {
                const std::size_t close = tag.find(tag[p], p + 1);
                const std::size_t end = close == kNotFound ? tag.size() : close;
                value = tag.substr(p + 1, end - p - 1);
                p = end + 1;
            } else {
                const std::size_t start = p;
                while (p < tag.size() && !IsMarkupSpace(tag[p]) && tag[p] != u'>')
                    ++p;
                value = tag.substr(start, p - start);
            }
        }
        if (attribute == name) return value;
    }
}

} // namespace markup
