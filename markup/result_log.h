// The result log: a small markup text with one empty element per loading or parsing event,
// e.g. <lone_end_tag tagname="b" offset="12"/>. It serves diagnosis only.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace markup {

struct LogAttribute {
    std::u16string_view name; // "type", "encoding", "msg", "tagname", "n", "count", ...
    std::u16string value;
};

class ResultLog {
public:
    // Nothing more is appended once the log has reached this many units.
    static constexpr std::size_t kLimit = 1000;

    void Clear() { text_.clear(); }
    void Add(std::u16string_view event, std::initializer_list<LogAttribute> attributes = {});
    const std::u16string& Text() const { return text_; }

private:
    std::u16string text_;
};

std::u16string LogNumber(std::uint64_t value);
std::u16string LogText(std::string_view ascii);

} // namespace markup
