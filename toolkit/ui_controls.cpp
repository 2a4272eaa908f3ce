#include "toolkit/ui_controls.h"

#include "toolkit/ui_container.h"

namespace DuiLib {

namespace {

bool Is(LPCTSTR name, LPCTSTR expected) {
    return name && std::u16string_view(name) == std::u16string_view(expected);
}

} // namespace

// ---- CLabelUI

LPCTSTR CLabelUI::GetClass() const {
    return u"LabelUI";
}

LPVOID CLabelUI::GetInterface(LPCTSTR name) {
    return Is(name, u"Label") ? this : CControlUI::GetInterface(name);
}

void CLabelUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (Is(name, u"textcolor")) {
        DWORD colour = 0;
        if (ParseColor(value, colour)) SetTextColor(colour);
        return;
    }
    CControlUI::SetAttribute(name, value);
}

// ---- CTextUI

LPCTSTR CTextUI::GetClass() const {
    return u"TextUI";
}

LPVOID CTextUI::GetInterface(LPCTSTR name) {
    return Is(name, u"Text") ? this : CLabelUI::GetInterface(name);
}

// ---- CButtonUI

LPCTSTR CButtonUI::GetClass() const {
    return u"ButtonUI";
}

LPVOID CButtonUI::GetInterface(LPCTSTR name) {
    return Is(name, u"Button") ? this : CLabelUI::GetInterface(name);
}

bool CButtonUI::Activate() {
    if (!CanBeActivated()) return false;
    SendNotify(DUI_MSGTYPE_CLICK);
    return true;
}

// ---- CEditUI

LPCTSTR CEditUI::GetClass() const {
    return u"EditUI";
}

LPVOID CEditUI::GetInterface(LPCTSTR name) {
    return Is(name, u"Edit") ? this : CLabelUI::GetInterface(name);
}

void CEditUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (Is(name, u"readonly"))
        SetReadOnly(ParseBool(value));
    else
        CLabelUI::SetAttribute(name, value);
}

bool CEditUI::Activate() {
    return CanBeActivated();
}

bool CEditUI::InputText(LPCTSTR text) {
    if (!CanBeActivated() || readOnly_) return false;
    SetText(text);
    SendNotify(DUI_MSGTYPE_TEXTCHANGED);
    return true;
}

// ---- CRichEditUI

LPCTSTR CRichEditUI::GetClass() const {
    return u"RichEditUI";
}

LPVOID CRichEditUI::GetInterface(LPCTSTR name) {
    return Is(name, u"RichEdit") ? this : CEditUI::GetInterface(name);
}

// ---- COptionUI

LPCTSTR COptionUI::GetClass() const {
    return u"OptionUI";
}

LPVOID COptionUI::GetInterface(LPCTSTR name) {
    return Is(name, u"Option") ? this : CButtonUI::GetInterface(name);
}

void COptionUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (Is(name, u"selected"))
        Selected(ParseBool(value));
    else if (Is(name, u"group"))
        SetGroup(value);
    else
        CButtonUI::SetAttribute(name, value);
}

void COptionUI::Selected(bool selected) {
    if (selected_ == selected) return;
    if (selected && !group_.IsEmpty()) ClearGroup();
    selected_ = selected;
    SendNotify(DUI_MSGTYPE_SELECTCHANGED);
}

void COptionUI::ClearGroup() {
    CControlUI* top = this;
    while (top->GetParent())
        top = top->GetParent();
    struct Search {
        COptionUI* self;
        std::vector<COptionUI*> selected;
    } search{this, {}};
    // Collect first, then change: a handler of "selectchanged" may reshape the tree.
    top->FindControl(
        [](CControlUI* control, LPVOID data) -> CControlUI* {
            auto& s = *static_cast<Search*>(data);
            auto* option = static_cast<COptionUI*>(control->GetInterface(u"Option"));
            if (option && option != s.self && option->IsSelected() &&
                option->GetGroup() == s.self->GetGroup())
                s.selected.push_back(option);
            return nullptr;
        },
        &search, UIFIND_ALL);
    for (COptionUI* option : search.selected)
        option->Selected(false);
}

bool COptionUI::Activate() {
    if (!CanBeActivated()) return false;
    Selected(group_.IsEmpty() ? !selected_ : true);
    return true;
}

} // namespace DuiLib
