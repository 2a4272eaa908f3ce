#include "markup/markup_parser.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "markup/markup_syntax.h"

namespace markup {
namespace {

constexpr std::u16string_view kDoctypeKeyword = u"DOCTYPE";
// Room is made for an element per this many units of text at first, about a short line of
// markup, so that a typical document's records are never copied to grow.
constexpr std::size_t kUnitsPerElement = 32;

// Finds the next "<" from `from`, four units at a time where it can.
std::size_t FindTagOpen(std::u16string_view text, std::size_t from) {
    const char16_t* data = text.data();
    const std::size_t n = text.size();
    std::size_t i = from;
    // Why: a 16-bit lane of x ^ "<<<<" is zero exactly where "<" stands; the classic
    // (v - 1) & ~v & 0x8000 test finds a zero lane without looking at each unit.
    constexpr std::uint64_t kOnes = 0x0001000100010001ull, kHighs = 0x8000800080008000ull;
    constexpr std::uint64_t kOpens = kOnes * u'<';
    for (; i + 4 <= n; i += 4) {
        std::uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        const std::uint64_t v = word ^ kOpens;
        if ((v - kOnes) & ~v & kHighs) break;
    }
    for (; i < n; ++i)
        if (data[i] == u'<') return i;
    return kNotFound;
}

class TreeBuilder {
public:
    TreeBuilder(std::u16string_view text, ElementRecords& records, ResultLog& log)
        : text_(text), records_(records), log_(log) {}

    bool Build() {
        records_.Reset(text_.size() / kUnitsPerElement + 8);
        records_[0].length = static_cast<std::uint32_t>(text_.size());
        std::size_t pos = 0;
        while (pos < text_.size()) {
            const std::size_t open = FindTagOpen(text_, pos);
            if (open == kNotFound) break;
            pos = ReadTag(open);
        }
        CloseAbove(0, text_.size());
        return Verdict();
    }

private:
    struct OpenElement {
        std::uint32_t index;
        std::u16string_view name;
    };

    // Reads the tag whose "<" is at `at` and returns where reading goes on.
    std::size_t ReadTag(std::size_t at) {
        if (at + 1 >= text_.size()) return Unterminated(u"tag", at);
        const char16_t c = text_[at + 1];
        if (c == u'/') return ReadEndTag(at);
        if (c == u'?') return SkipTo(at, u"?>", at + 2, u"processing_instruction");
        if (c == u'!') return ReadExclamationTag(at);
        if (IsNameStart(c)) return ReadStartTag(at);
        return Malformed(u"first_tag_syntax", at);
    }

    std::size_t ReadStartTag(std::size_t at) {
        std::size_t nameEnd = 0;
        const std::size_t end = StartTagEnd(text_, at, &nameEnd);
        if (end == kNotFound) return Unterminated(u"start_tag", at);
        const std::uint32_t index = records_.Add();
        if (index == 0) return text_.size(); // no index left: nothing more can be placed
        const std::uint32_t parent = stack_.empty() ? 0 : stack_.back().index;
        ElementRecord& element = records_[index];
        element.start = static_cast<std::uint32_t>(at);
        element.length = static_cast<std::uint32_t>(end - at);
        element.levelFlags =
            static_cast<std::uint32_t>(std::min<std::size_t>(stack_.size(), kLevelMask));
        element.parent = parent;
        records_.SetTagLengths(index, element.length, 0);
        AppendChild(parent, index);
        if (text_[end - 2] != u'/') Push(index, text_.substr(at + 1, nameEnd - at - 1));
        return end;
    }

    std::size_t ReadEndTag(std::size_t at) {
        const std::size_t close = text_.find(u'>', at + 2);
        if (close == kNotFound) return Unterminated(u"end_tag", at);
        const std::size_t end = close + 1;
        const std::u16string_view name = text_.substr(at + 2, TagNameEnd(text_, at + 2) - at - 2);
        const std::size_t depth = FindOpen(name);
        if (depth == kNotFound) {
            log_.Add(u"lone_end_tag",
                     {{u"tagname", std::u16string(name)}, {u"offset", LogNumber(at)}});
            Problem();
            return end;
        }
        const std::uint32_t index = stack_[depth].index;
        CloseAbove(depth + 1, at);
        Pop();
        ElementRecord& element = records_[index];
        element.length = static_cast<std::uint32_t>(end - element.start);
        records_.SetTagLengths(index, records_.StartTagLength(index),
                               static_cast<std::uint32_t>(end - at));
        return end;
    }

    std::size_t ReadExclamationTag(std::size_t at) {
        if (at + 2 >= text_.size()) return Unterminated(u"tag", at);
        switch (text_[at + 2]) {
        case u'-':
            if (at + 3 >= text_.size()) return Unterminated(u"tag", at);
            if (text_[at + 3] != u'-') return Malformed(u"comment_tag_syntax", at);
            return SkipTo(at, u"-->", at + 4, u"comment");
        case u'[':
            if (at + 3 >= text_.size()) return Unterminated(u"tag", at);
            if (text_[at + 3] != kCdataFirstLetter) return Malformed(u"cdata_section_syntax", at);
            return SkipTo(at, u"]]>", at + 3, u"cdata_section");
        case kDoctypeKeyword[0]:
            return ReadDoctype(at);
        default:
            return Malformed(u"exclamation_tag_syntax", at);
        }
    }

    // "<!DOCTYPE", then names and quoted ids, an optional internal subset in square brackets
    // (which may hold ">" in its declarations, quotes and comments), then ">".
    std::size_t ReadDoctype(std::size_t at) {
        const std::size_t keywordEnd = at + 2 + kDoctypeKeyword.size();
        if (keywordEnd > text_.size()) return Unterminated(u"document_type", at);
        if (text_.substr(at + 2, kDoctypeKeyword.size()) != kDoctypeKeyword)
            return Malformed(u"doctype_tag_syntax", at);
        bool subsetSeen = false;
        for (std::size_t p = keywordEnd; p < text_.size();) {
            const char16_t c = text_[p];
            if (c == u'>') return p + 1;
            if (c == u'"' || c == u'\'') {
                p = text_.find(c, p + 1);
                if (p == kNotFound) break;
                ++p;
            } else if (c == u'[' && !subsetSeen) {
                subsetSeen = true;
                p = SkipInternalSubset(p + 1);
                if (p == kNotFound) break;
            } else if (subsetSeen && !IsMarkupSpace(c)) {
                // Only white space may stand between the subset's "]" and the closing ">".
                Malformed(u"doctype_tag_syntax", p);
                const std::size_t close = text_.find(u'>', p);
                if (close == kNotFound) break;
                return close + 1;
            } else {
                ++p;
            }
        }
        return Unterminated(u"document_type", at);
    }

    // From just inside "[" to just past the matching "]", or kNotFound.
    std::size_t SkipInternalSubset(std::size_t p) {
        while (p < text_.size()) {
            const char16_t c = text_[p];
            if (c == u']') return p + 1;
            if (c == u'"' || c == u'\'') {
                p = text_.find(c, p + 1);
                if (p == kNotFound) return kNotFound;
                ++p;
            } else if (text_.substr(p, 4) == u"<!--") {
                p = text_.find(u"-->", p + 4);
                if (p == kNotFound) return kNotFound;
                p += 3;
            } else {
                ++p;
            }
        }
        return kNotFound;
    }

    std::size_t SkipTo(std::size_t at, std::u16string_view terminator, std::size_t from,
                       std::u16string_view kind) {
        const std::size_t found = text_.find(terminator, from);
        if (found == kNotFound) return Unterminated(kind, at);
        return found + terminator.size();
    }

    // A "<" that starts no valid tag: logged, and read on as text.
    std::size_t Malformed(std::u16string_view event, std::size_t at) {
        log_.Add(event, {{u"offset", LogNumber(at)}});
        Problem();
        return at + 1;
    }

    std::size_t Unterminated(std::u16string_view kind, std::size_t at) {
        log_.Add(u"unterminated_tag_syntax",
                 {{u"type", std::u16string(kind)}, {u"offset", LogNumber(at)}});
        Problem();
        return text_.size();
    }

    void Problem() {
        records_[0].levelFlags |= kNotWellFormed;
        records_[stack_.empty() ? 0 : stack_.back().index].levelFlags |= kProblemInside;
    }

    void AppendChild(std::uint32_t parent, std::uint32_t index) {
        ElementRecord& p = records_[parent];
        ElementRecord& child = records_[index];
        if (p.firstChild == 0) {
            p.firstChild = index;
            child.prevSibling = index;
            child.levelFlags |= kFirstChild;
            return;
        }
        ElementRecord& first = records_[p.firstChild];
        const std::uint32_t last = first.prevSibling;
        records_[last].nextSibling = index;
        child.prevSibling = last;
        first.prevSibling = index;
    }

    // Every element from stack depth `depth` up is unended: it shrinks to its start tag and
    // its children move up to follow it among its parent's children. Working from the lowest
    // up moves each child once, so a long run of unended elements costs linear time.
    void CloseAbove(std::size_t depth, std::size_t foundAt) {
        if (depth >= stack_.size()) return;
        records_[depth == 0 ? 0 : stack_[depth - 1].index].levelFlags |= kProblemInside;
        records_[0].levelFlags |= kNotWellFormed;
        for (std::size_t d = depth; d < stack_.size(); ++d) {
            const std::uint32_t index = stack_[d].index;
            ElementRecord& element = records_[index];
            log_.Add(u"unended_start_tag", {{u"tagname", std::u16string(stack_[d].name)},
                                            {u"offset", LogNumber(element.start)},
                                            {u"offset2", LogNumber(foundAt)}});
            element.levelFlags |= kUnended;
            element.length = records_.StartTagLength(index);
            HandChildrenUp(index);
        }
        while (stack_.size() > depth)
            Pop();
    }

    void HandChildrenUp(std::uint32_t index) {
        ElementRecord& element = records_[index];
        const std::uint32_t first = element.firstChild;
        if (first == 0) return;
        const std::uint32_t parent = element.parent;
        const std::uint32_t last = records_[first].prevSibling;
        const std::uint32_t level = element.levelFlags & kLevelMask;
        for (std::uint32_t c = first; c != 0; c = records_[c].nextSibling) {
            ElementRecord& child = records_[c];
            child.parent = parent;
            child.levelFlags = (child.levelFlags & ~(kLevelMask | kFirstChild)) | level;
        }
        const std::uint32_t next = element.nextSibling;
        element.nextSibling = first;
        records_[first].prevSibling = index;
        records_[last].nextSibling = next;
        if (next != 0)
            records_[next].prevSibling = last;
        else
            records_[records_[parent].firstChild].prevSibling = last;
        element.firstChild = 0;
    }

    void Push(std::uint32_t index, std::u16string_view name) {
        stack_.push_back({index, name});
        if (counting_) ++openCounts_[name];
    }

    void Pop() {
        if (counting_) --openCounts_[stack_.back().name];
        stack_.pop_back();
    }

    // The stack depth of the innermost open element named `name`, or kNotFound. A well-formed
    // document always matches the top; otherwise counts of open names, kept from the first
    // mismatch on, answer "not open at all" without walking a deep stack for every lone tag.
    std::size_t FindOpen(std::u16string_view name) {
        if (stack_.empty()) return kNotFound;
        if (stack_.back().name == name) return stack_.size() - 1;
        if (!counting_) {
            counting_ = true;
            for (const OpenElement& open : stack_)
                ++openCounts_[open.name];
        }
        const auto count = openCounts_.find(name);
        if (count == openCounts_.end() || count->second == 0) return kNotFound;
        for (std::size_t d = stack_.size(); d-- > 0;)
            if (stack_[d].name == name) return d;
        return kNotFound;
    }

    bool Verdict() {
        const std::uint32_t root = records_[0].firstChild;
        if (root == 0)
            log_.Add(u"no_root_element");
        else if (records_[root].nextSibling != 0)
            log_.Add(u"root_has_sibling");
        return (records_[0].levelFlags & kNotWellFormed) == 0 && root != 0 &&
               records_[root].nextSibling == 0;
    }

    static constexpr char16_t kCdataFirstLetter = u'C';

    std::u16string_view text_;
    ElementRecords& records_;
    ResultLog& log_;
    std::vector<OpenElement> stack_;
    bool counting_ = false;
    std::unordered_map<std::u16string_view, std::uint32_t> openCounts_;
};

} // namespace

bool ParseMarkup(std::u16string_view text, ElementRecords& records, ResultLog& log) {
    return TreeBuilder(text, records, log).Build();
}

} // namespace markup
