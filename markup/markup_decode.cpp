#include "markup/markup_decode.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "markup/document_bytes.h"
#include "markup/encoding_names.h"
#include "markup/large_buffer.h"
#include "markup/markup_syntax.h"
#include "platform/codepage.h"
#include "platform/utf.h"

namespace markup {
namespace {

// Only the first bytes are searched for a declared encoding.
constexpr std::size_t kHeadBytes = 1024;
constexpr std::uint32_t kUtf16LE = 1200, kUtf16BE = 1201, kUtf32LE = 12000, kUtf32BE = 12001;
constexpr char16_t kReplacement = 0xFFFD;

// How the text is laid out in units, by its encoding.
struct Encoding {
    std::uint32_t codePage; // a Windows code page, kReaderUtf32 or kAnsiCodePage
    std::u16string name;    // for the log
    std::size_t unitBytes;  // 1 for byte encodings (UTF-8 included), 2 or 4
    bool bigEndian;
};

Encoding EncodingOfCodePage(std::uint32_t codePage, std::u16string name) {
    switch (codePage) {
    case kUtf16LE:
        return {codePage, std::move(name), 2, false};
    case kUtf16BE:
        return {codePage, std::move(name), 2, true};
    case kReaderUtf32:
    case kUtf32LE:
        return {codePage, std::move(name), 4, false};
    case kUtf32BE:
        return {codePage, std::move(name), 4, true};
    default:
        return {codePage, std::move(name), 1, false};
    }
}

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

// The unit layout the first bytes show ("<" and its zero bytes): a declaration of a 16- or
// 32-bit encoding is believed only when the bytes really are laid out that way.
bool LayoutMatches(std::string_view head, const Encoding& encoding) {
    auto zero = [&](std::size_t i) { return i < head.size() && head[i] == '\0'; };
    auto set = [&](std::size_t i) { return i < head.size() && head[i] != '\0'; };
    switch (encoding.unitBytes) {
    case 2:
        return encoding.bigEndian ? zero(0) && set(1) : set(0) && zero(1);
    case 4:
        return encoding.bigEndian ? zero(0) && zero(1) && zero(2) && set(3)
                                  : set(0) && zero(1) && zero(2) && zero(3);
    default:
        return true;
    }
}

template <typename Unit>
std::size_t RemoveZeroUnits(DocumentBytes& bytes, std::size_t begin) {
    const std::size_t units = (bytes.size() - begin) / sizeof(Unit);
    char* data = bytes.data();
    std::size_t kept = 0;
    for (std::size_t u = 0; u < units; ++u) {
        Unit unit;
        std::memcpy(&unit, data + begin + u * sizeof(Unit), sizeof(Unit));
        if (unit == 0) continue;
        std::memcpy(data + kept * sizeof(Unit), &unit, sizeof(Unit));
        ++kept;
    }
    bytes.Shrink(kept * sizeof(Unit));
    return units - kept;
}

// Removes the all-zero units of `unitBytes` bytes after `begin` in place, and with them
// whatever precedes `begin` (a byte-order mark), so the text then starts at offset 0; a
// trailing part unit is dropped. Byte text without NULs stays where it is. Returns the count.
std::size_t RemoveNullUnits(DocumentBytes& bytes, std::size_t& begin, std::size_t unitBytes) {
    std::size_t removed;
    switch (unitBytes) {
    case 2:
        removed = RemoveZeroUnits<std::uint16_t>(bytes, begin);
        break;
    case 4:
        removed = RemoveZeroUnits<std::uint32_t>(bytes, begin);
        break;
    default:
        if (!std::memchr(bytes.view().data() + begin, '\0', bytes.size() - begin)) return 0;
        removed = RemoveZeroUnits<std::uint8_t>(bytes, begin);
    }
    begin = 0;
    return removed;
}

std::u16string FromUtf32(std::string_view body, bool bigEndian) {
    std::u16string text;
    text.reserve(body.size() / 4);
    for (std::size_t i = 0; i + 4 <= body.size(); i += 4) {
        const auto* b = reinterpret_cast<const unsigned char*>(body.data() + i);
        const std::uint32_t c = bigEndian
                                    ? std::uint32_t{b[0]} << 24 | b[1] << 16 | b[2] << 8 | b[3]
                                    : std::uint32_t{b[3]} << 24 | b[2] << 16 | b[1] << 8 | b[0];
        AppendUtf16(text, c);
    }
    return text;
}

// The bytes are UTF-16 units already: they become the text where they are.
std::u16string FromUtf16(DocumentBytes& bytes, bool bigEndian) {
    std::u16string text = bytes.TakeUnits(bytes.size() / 2);
    if (bigEndian)
        for (char16_t& unit : text)
            unit = static_cast<char16_t>(unit << 8 | unit >> 8);
    return text;
}

// UTF-8 is converted a piece at a time into a small buffer and appended, so that the text is
// written once rather than zero-filled first and then written again.
constexpr std::size_t kUtf8PieceBytes = 16 * 1024;

bool IsUtf8Continuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Where a piece of UTF-8 may end at or just before `end` (0 < end < bytes.size(), end >= 3)
// without splitting a sequence, valid or not: a sequence, or the invalid part of one that
// becomes a single U+FFFD, is a lead byte and at most three continuation bytes. Any other byte
// starts one, so the piece can end before it; and if four continuation bytes end at `end`, no
// sequence holds both the byte before `end` and the byte at it.
std::size_t Utf8PieceEnd(std::string_view bytes, std::size_t end) {
    for (std::size_t back = 0; back <= 3; ++back)
        if (!IsUtf8Continuation(bytes[end - back])) return end - back;
    return end;
}

// UTF-8 converted piece by piece, with exactly the result of one conversion of the whole;
// nullopt when a piece does not convert (an invalid sequence under `flags` asking for
// strictness).
std::optional<std::u16string> FromUtf8Pieces(std::string_view body, DWORD flags) {
    // UTF-8 never takes more UTF-16 units than bytes.
    static thread_local char16_t piece[kUtf8PieceBytes];
    std::u16string text;
    text.reserve(body.size());
    AdviseHugePages(text.data(), body.size() * sizeof(char16_t));
    for (std::size_t begin = 0; begin < body.size();) {
        std::size_t end = std::min(begin + kUtf8PieceBytes, body.size());
        if (end < body.size()) end = Utf8PieceEnd(body, end);
        const int units =
            MultiByteToWideChar(CP_UTF8, flags, body.data() + begin, static_cast<int>(end - begin),
                                piece, static_cast<int>(kUtf8PieceBytes));
        if (units <= 0) return std::nullopt;
        text.append(piece, static_cast<std::size_t>(units));
        begin = end;
    }
    return text;
}

// Through the system's conversion; one pass when the text has no more units than bytes, as
// in every multi-byte code page in practice, and a size query first otherwise. Nullopt when
// `flags` ask for strictness and the bytes are not valid in the code page.
std::optional<std::u16string> FromCodePage(std::string_view body, std::uint32_t codePage,
                                           DWORD flags = 0) {
    if (body.empty()) return std::u16string();
    if (codePage == CP_UTF8 && body.size() > kUtf8PieceBytes) return FromUtf8Pieces(body, flags);
    const int srcLen = static_cast<int>(body.size());
    std::u16string text;
    ResizeLarge(text, body.size());
    int units = MultiByteToWideChar(codePage, flags, body.data(), srcLen, text.data(), srcLen);
    if (units == 0) {
        units = MultiByteToWideChar(codePage, flags, body.data(), srcLen, nullptr, 0);
        if (units == 0) return std::nullopt;
        text.assign(static_cast<std::size_t>(units), u'\0');
        units = MultiByteToWideChar(codePage, flags, body.data(), srcLen, text.data(), units);
    }
    text.resize(static_cast<std::size_t>(units));
    return text;
}

std::u16string CodePageName(std::uint32_t codePage) {
    return u"cp" + LogNumber(codePage);
}

char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
}

// The "charset" parameter of a Content-Type value, e.g. "text/html; charset=gb2312".
std::optional<std::u16string_view> CharsetParameter(std::u16string_view content) {
    const std::size_t at = content.find(u"charset");
    if (at == kNotFound) return std::nullopt;
    std::size_t p = at + 7;
    while (p < content.size() && IsMarkupSpace(content[p]))
        ++p;
    if (p >= content.size() || content[p] != u'=') return std::nullopt;
    ++p;
    while (p < content.size() && IsMarkupSpace(content[p]))
        ++p;
    std::size_t end = p;
    while (end < content.size() && !IsMarkupSpace(content[end]) && content[end] != u';' &&
           content[end] != u'"' && content[end] != u'\'')
        ++end;
    return content.substr(p, end - p);
}

// An html document's first meta element with http-equiv Content-Type, up to the end of its
// head; `head` is lower-cased, as html names and these values are matched in any case.
std::optional<std::u16string_view> HtmlMetaCharset(std::u16string_view head) {
    bool firstTag = true;
    std::size_t pos = 0;
    while ((pos = head.find(u'<', pos)) != kNotFound) {
        const std::u16string_view rest = head.substr(pos);
        if (rest.starts_with(u"<!--")) {
            pos = head.find(u"-->", pos + 4);
            if (pos == kNotFound) return std::nullopt;
        } else if (rest.starts_with(u"</head")) {
            return std::nullopt;
        } else if (rest.size() > 1 && IsNameStart(rest[1])) {
            const std::size_t end = StartTagEnd(head, pos);
            if (end == kNotFound) return std::nullopt;
            const std::u16string_view tag = head.substr(pos, end - pos);
            const std::u16string_view name = tag.substr(1, TagNameEnd(tag, 1) - 1);
            if (firstTag && name != u"html") return std::nullopt;
            firstTag = false;
            if (name == u"meta" && FindAttributeValue(tag, u"http-equiv") == u"content-type")
                if (const auto content = FindAttributeValue(tag, u"content"))
                    if (const auto charset = CharsetParameter(*content)) return charset;
            pos = end;
        } else {
            ++pos;
        }
    }
    return std::nullopt;
}

} // namespace

bool FindDeclaredEncoding(std::string_view head, std::u16string& name) {
    std::u16string text;
    for (char byte : head.substr(0, kHeadBytes))
        if (byte != '\0') text += static_cast<char16_t>(static_cast<unsigned char>(byte));
    if (text.starts_with(u"<?xml") && text.size() > 5 &&
        (IsMarkupSpace(text[5]) || text[5] == u'?')) {
        const std::size_t close = text.find(u"?>");
        const std::u16string_view declaration =
            std::u16string_view(text).substr(0, close == kNotFound ? text.size() : close + 2);
        if (const auto encoding = FindAttributeValue(declaration, u"encoding")) {
            name = *encoding;
            return true;
        }
    }
    std::transform(text.begin(), text.end(), text.begin(), AsciiLower);
    if (const auto charset = HtmlMetaCharset(text)) {
        name = *charset;
        return true;
    }
    return false;
}

std::u16string DecodeMarkupBytes(DocumentBytes bytes, ResultLog& log) {
    if (bytes.size() > kMaxDocumentBytes) {
        log.Add(u"file_error", {{u"msg", u"too large"}, {u"length", LogNumber(bytes.size())}});
        return {};
    }
    std::optional<Encoding> encoding;
    std::size_t begin = 0;
    if (StartsWith(bytes.view(), "\xEF\xBB\xBF")) {
        encoding = EncodingOfCodePage(CP_UTF8, u"UTF-8");
        begin = 3;
    } else if (StartsWith(bytes.view(), "\xFF\xFE")) {
        encoding = EncodingOfCodePage(kUtf16LE, u"UTF-16LE");
        begin = 2;
    } else if (StartsWith(bytes.view(), "\xFE\xFF")) {
        encoding = EncodingOfCodePage(kUtf16BE, u"UTF-16BE");
        begin = 2;
    } else if (std::u16string name; FindDeclaredEncoding(bytes.view(), name)) {
        Encoding declared = EncodingOfCodePage(CodePageOfEncoding(name), name);
        if (LayoutMatches(bytes.view(), declared)) encoding = std::move(declared);
    }
    log.Add(u"read",
            {{u"encoding", encoding ? encoding->name : u""}, {u"length", LogNumber(bytes.size())}});

    const std::size_t nulls = RemoveNullUnits(bytes, begin, encoding ? encoding->unitBytes : 1);
    if (nulls) log.Add(u"nulls_removed", {{u"count", LogNumber(nulls)}});
    if (encoding && encoding->bigEndian) log.Add(u"endian_swap");
    const std::string_view body = bytes.view().substr(begin);

    std::optional<std::u16string> text;
    if (!encoding) {
        // Valid UTF-8 (plain ASCII is) decodes strictly in one pass; anything else is ANSI.
        text = FromCodePage(body, CP_UTF8, MB_ERR_INVALID_CHARS);
        encoding = EncodingOfCodePage(text ? CP_UTF8 : kAnsiCodePage, text ? u"UTF-8" : u"ANSI");
        log.Add(u"utf8_detection", {{u"encoding", encoding->name}});
    }
    if (text) {
        // decoded already
    } else if (encoding->unitBytes == 2) {
        text = FromUtf16(bytes, encoding->bigEndian);
    } else if (encoding->unitBytes == 4) {
        text = FromUtf32(body, encoding->bigEndian);
    } else {
        std::uint32_t codePage = encoding->codePage;
        if (codePage == kAnsiCodePage) codePage = GetACP();
        if (!IsValidCodePage(codePage)) {
            log.Add(u"converted_to",
                    {{u"encoding", encoding->name},
                     {u"msg", CodePageName(codePage) + u" not supported, using ANSI " +
                                  CodePageName(GetACP())}});
            codePage = GetACP();
        }
        text = FromCodePage(body, codePage);
    }
    if (!text) text.emplace(); // a conversion that failed outright leaves no text
    log.Add(u"converted_to", {{u"encoding", u"UTF-16"}, {u"length", LogNumber(text->size())}});
    return std::move(*text);
}

} // namespace markup
