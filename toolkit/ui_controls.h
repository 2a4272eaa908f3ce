// The leaf controls: texts, buttons, edits and options.
#pragma once

#include "toolkit/ui_control.h"

namespace DuiLib {

// A line of text. Every text-showing control derives from it.
class CLabelUI : public CControlUI {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;

    // 0xAARRGGBB; 0 until set, meaning the window's default colour.
    DWORD GetTextColor() const { return textColor_; }
    void SetTextColor(DWORD colour) { textColor_ = colour; }

private:
    DWORD textColor_ = 0;
};

// Text that may run over several lines.
class CTextUI : public CLabelUI {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
};

// Sends "click" when a person presses it.
class CButtonUI : public CLabelUI {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    // Sends "click".
    bool Activate() override;
};

// A single line a person types into. SetText changes the text silently; InputText is a person
// typing and sends "textchanged".
class CEditUI : public CLabelUI {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;

    bool IsReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    // Takes focus; sends nothing.
    bool Activate() override;
    // Replaces the text as a person would and sends "textchanged". Refused while read-only,
    // hidden or disabled.
    bool InputText(LPCTSTR text);

private:
    bool readOnly_ = false;
};

// Several lines of text a person types into, in one colour.
class CRichEditUI : public CEditUI {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
};

// A button with a selected state: a check box, or, with a group name, one of a set of radio
// buttons of which at most one is selected. Every change of the state sends "selectchanged".
class COptionUI : public CButtonUI {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;

    bool IsSelected() const { return selected_; }
    // Changes the state and sends "selectchanged"; selecting one of a group first clears the
    // other options of the group in the same tree. Setting the current state sends nothing.
    void Selected(bool selected);
    const CDuiString& GetGroup() const { return group_; }
    void SetGroup(LPCTSTR group) { group_ = group; }
    // A check box toggles; a radio button becomes selected.
    bool Activate() override;

private:
    void ClearGroup();

    bool selected_ = false;
    CDuiString group_;
};

} // namespace DuiLib
