#include "toolkit/ui_control.h"

#include <climits>

#include "toolkit/ui_manager.h"

namespace DuiLib {

namespace {

std::u16string_view ViewOf(LPCTSTR text) {
    return text ? std::u16string_view(text) : std::u16string_view();
}

bool Equals(LPCTSTR a, LPCTSTR b) {
    return ViewOf(a) == ViewOf(b);
}

int HexDigit(TCHAR ch) {
    if (ch >= u'0' && ch <= u'9') return ch - u'0';
    if (ch >= u'a' && ch <= u'f') return ch - u'a' + 10;
    if (ch >= u'A' && ch <= u'F') return ch - u'A' + 10;
    return -1;
}

} // namespace

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    // A root that goes away must not stay attached to its window.
    if (manager_) CPaintManagerUI::ForgetRoot(manager_, this);
}

LPCTSTR CControlUI::GetClass() const {
    return u"ControlUI";
}

LPVOID CControlUI::GetInterface(LPCTSTR name) {
    return Equals(name, DUI_CTR_CONTROL) ? this : nullptr;
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    manager_ = manager;
    parent_ = parent;
}

void CControlUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    const std::u16string_view key = ViewOf(name);
    int number = 0;
    if (key == u"name") {
        SetName(value);
    } else if (key == u"text") {
        SetText(value);
    } else if (key == u"tooltip") {
        SetToolTip(value);
    } else if (key == u"visible") {
        SetVisible(ParseBool(value));
    } else if (key == u"enabled") {
        SetEnabled(ParseBool(value));
    } else if (key == u"width" && ParseInt(value, number)) {
        SetFixedWidth(number);
    } else if (key == u"height" && ParseInt(value, number)) {
        SetFixedHeight(number);
    } else if (key == u"size") {
        // "width,height"
        const std::u16string_view text = ViewOf(value);
        const size_t comma = text.find(u',');
        int width = 0, height = 0;
        if (comma != std::u16string_view::npos &&
            ParseInt(std::u16string(text.substr(0, comma)).c_str(), width) &&
            ParseInt(std::u16string(text.substr(comma + 1)).c_str(), height)) {
            SetFixedWidth(width);
            SetFixedHeight(height);
        }
    } else {
        AddCustomAttribute(name, value);
    }
}

LPCTSTR CControlUI::GetCustomAttribute(LPCTSTR name) const {
    const auto found = customAttributes_.find(ViewOf(name));
    return found == customAttributes_.end() ? nullptr : found->second.c_str();
}

void CControlUI::AddCustomAttribute(LPCTSTR name, LPCTSTR value) {
    if (ViewOf(name).empty()) return;
    customAttributes_.insert_or_assign(std::u16string(ViewOf(name)), std::u16string(ViewOf(value)));
}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) {
    if (!proc) return nullptr;
    if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    return proc(this, data);
}

bool CControlUI::Activate() {
    return false;
}

void CControlUI::SendNotify(LPCTSTR type, WPARAM wParam, LPARAM lParam) {
    if (manager_) {
        manager_->SendNotify(this, type, wParam, lParam);
        return;
    }
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = this;
    msg.dwTimestamp = CPaintManagerUI::GetTickCount();
    msg.wParam = wParam;
    msg.lParam = lParam;
    OnNotify(&msg);
}

bool ParseBool(LPCTSTR value) {
    return Equals(value, u"true") || Equals(value, u"1");
}

bool ParseInt(LPCTSTR value, int& number) {
    const std::u16string_view text = ViewOf(value);
    if (text.empty()) return false;
    size_t i = 0;
    const bool negative = text[0] == u'-';
    if (negative || text[0] == u'+') i = 1;
    if (i == text.size()) return false;
    long long result = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') return false;
        result = result * 10 + (text[i] - u'0');
        if (result > INT_MAX) return false;
    }
    number = static_cast<int>(negative ? -result : result);
    return true;
}

bool ParseColor(LPCTSTR value, DWORD& colour) {
    std::u16string_view text = ViewOf(value);
    if (text.starts_with(u"#"))
        text.remove_prefix(1);
    else if (text.starts_with(u"0x") || text.starts_with(u"0X"))
        text.remove_prefix(2);
    else
        return false;
    if (text.size() != 6 && text.size() != 8) return false;
    DWORD result = 0;
    for (const TCHAR ch : text) {
        const int digit = HexDigit(ch);
        if (digit < 0) return false;
        result = (result << 4) | static_cast<DWORD>(digit);
    }
    colour = text.size() == 6 ? (0xFF000000u | result) : result;
    return true;
}

} // namespace DuiLib
