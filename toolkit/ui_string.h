// The toolkit's text type: a UTF-16 string with value semantics.
#pragma once

#include <string>
#include <string_view>

#include "platform/wintypes.h"

namespace DuiLib {

using TCHAR = char16_t;
using LPCTSTR = const TCHAR*;
using LPTSTR = TCHAR*;

class CDuiString {
public:
    CDuiString() = default;
    CDuiString(LPCTSTR text);             // null is the empty string
    CDuiString(LPCTSTR text, int length); // at most `length` units; a negative length reads to NUL
    CDuiString(std::u16string_view text);
    CDuiString(std::u16string text);
    CDuiString(TCHAR ch);

    bool IsEmpty() const { return text_.empty(); }
    int GetLength() const { return static_cast<int>(text_.size()); }
    LPCTSTR GetData() const { return text_.c_str(); }
    operator LPCTSTR() const { return text_.c_str(); }
    const std::u16string& Str() const { return text_; }
    TCHAR GetAt(int index) const; // 0 outside the text
    void Empty() { text_.clear(); }

    void Assign(LPCTSTR text, int length = -1);
    void Append(LPCTSTR text);
    CDuiString& operator=(LPCTSTR text);
    CDuiString& operator+=(const CDuiString& text);
    CDuiString& operator+=(LPCTSTR text);
    CDuiString& operator+=(TCHAR ch);

    // Unit-by-unit comparison: negative, zero or positive.
    int Compare(LPCTSTR text) const;
    // As Compare, with ASCII letters folded to lower case.
    int CompareNoCase(LPCTSTR text) const;

    bool operator==(const CDuiString& other) const { return text_ == other.text_; }
    bool operator==(LPCTSTR text) const { return Compare(text) == 0; }
    auto operator<=>(const CDuiString& other) const { return text_ <=> other.text_; }

    CDuiString Left(int length) const;
    CDuiString Mid(int start, int length = -1) const;
    CDuiString Right(int length) const;
    int Find(TCHAR ch, int start = 0) const; // -1 when absent
    int ReverseFind(TCHAR ch) const;         // -1 when absent

private:
    std::u16string text_;
};

CDuiString operator+(const CDuiString& left, const CDuiString& right);
CDuiString operator+(const CDuiString& left, LPCTSTR right);
CDuiString operator+(LPCTSTR left, const CDuiString& right);

} // namespace DuiLib
