#include "markup/result_log.h"

namespace markup {
namespace {

void AppendEscaped(std::u16string& out, std::u16string_view value) {
    for (char16_t c : value) {
        switch (c) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        default:
            out += c;
        }
    }
}

} // namespace

void ResultLog::Add(std::u16string_view event, std::initializer_list<LogAttribute> attributes) {
    if (text_.size() >= kLimit) return;
    text_ += u'<';
    text_ += event;
    for (const LogAttribute& attribute : attributes) {
        text_ += u' ';
        text_ += attribute.name;
        text_ += u"=\"";
        // A value from the document (a tag name) can be long; the log stays small.
        AppendEscaped(text_, std::u16string_view(attribute.value).substr(0, kLimit));
        text_ += u'"';
    }
    text_ += u"/>";
}

std::u16string LogNumber(std::uint64_t value) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value);
    return digits;
}

std::u16string LogText(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

} // namespace markup
