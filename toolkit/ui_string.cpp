#include "toolkit/ui_string.h"

#include <algorithm>

namespace DuiLib {

namespace {

std::u16string_view ViewOf(LPCTSTR text) {
    return text ? std::u16string_view(text) : std::u16string_view();
}

TCHAR FoldAscii(TCHAR ch) {
    return ch >= u'A' && ch <= u'Z' ? TCHAR(ch - u'A' + u'a') : ch;
}

// The part of [start, start + length) that lies inside a text of `size` units.
std::u16string_view Slice(const std::u16string& text, int start, int length) {
    const size_t size = text.size();
    const size_t from = start < 0 ? 0 : std::min(static_cast<size_t>(start), size);
    const size_t count =
        length < 0 ? size - from : std::min(static_cast<size_t>(length), size - from);
    return std::u16string_view(text).substr(from, count);
}

} // namespace

CDuiString::CDuiString(LPCTSTR text) : text_(ViewOf(text)) {}

CDuiString::CDuiString(LPCTSTR text, int length) {
    Assign(text, length);
}

CDuiString::CDuiString(std::u16string_view text) : text_(text) {}

CDuiString::CDuiString(std::u16string text) : text_(std::move(text)) {}

CDuiString::CDuiString(TCHAR ch) : text_(1, ch) {}

TCHAR CDuiString::GetAt(int index) const {
    return index >= 0 && static_cast<size_t>(index) < text_.size() ? text_[index] : TCHAR{0};
}

void CDuiString::Assign(LPCTSTR text, int length) {
    std::u16string_view view = ViewOf(text);
    if (length >= 0) {
        // Stop at the first NUL inside the requested length, so a short text is never overread.
        const LPCTSTR end = text ? std::find(text, text + length, u'\0') : text;
        view = std::u16string_view(text, static_cast<size_t>(end - text));
    }
    text_.assign(view);
}

void CDuiString::Append(LPCTSTR text) {
    text_.append(ViewOf(text));
}

CDuiString& CDuiString::operator=(LPCTSTR text) {
    Assign(text);
    return *this;
}

CDuiString& CDuiString::operator+=(const CDuiString& text) {
    text_ += text.text_;
    return *this;
}

CDuiString& CDuiString::operator+=(LPCTSTR text) {
    Append(text);
    return *this;
}

CDuiString& CDuiString::operator+=(TCHAR ch) {
    text_ += ch;
    return *this;
}

int CDuiString::Compare(LPCTSTR text) const {
    return std::u16string_view(text_).compare(ViewOf(text));
}

int CDuiString::CompareNoCase(LPCTSTR text) const {
    const std::u16string_view other = ViewOf(text);
    const size_t common = std::min(text_.size(), other.size());
    for (size_t i = 0; i < common; ++i) {
        const TCHAR a = FoldAscii(text_[i]), b = FoldAscii(other[i]);
        if (a != b) return a < b ? -1 : 1;
    }
    return text_.size() == other.size() ? 0 : (text_.size() < other.size() ? -1 : 1);
}

CDuiString CDuiString::Left(int length) const {
    return CDuiString(Slice(text_, 0, std::max(length, 0)));
}

CDuiString CDuiString::Mid(int start, int length) const {
    return CDuiString(Slice(text_, start, length));
}

CDuiString CDuiString::Right(int length) const {
    const int size = GetLength();
    const int keep = std::clamp(length, 0, size);
    return CDuiString(Slice(text_, size - keep, keep));
}

int CDuiString::Find(TCHAR ch, int start) const {
    if (start < 0 || static_cast<size_t>(start) > text_.size()) return -1;
    const size_t at = text_.find(ch, static_cast<size_t>(start));
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int CDuiString::ReverseFind(TCHAR ch) const {
    const size_t at = text_.rfind(ch);
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

CDuiString operator+(const CDuiString& left, const CDuiString& right) {
    CDuiString sum = left;
    sum += right;
    return sum;
}

CDuiString operator+(const CDuiString& left, LPCTSTR right) {
    CDuiString sum = left;
    sum += right;
    return sum;
}

CDuiString operator+(LPCTSTR left, const CDuiString& right) {
    CDuiString sum = left;
    sum += right;
    return sum;
}

} // namespace DuiLib
