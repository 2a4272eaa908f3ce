// The dialog builder: turns skin XML into a tree of controls.
//
// A skin is one element per control. The element name picks the class: Window (the panel's
// frame, stacked vertically), VerticalLayout, HorizontalLayout, Container, Control, Label, Text,
// Button, Edit, RichEdit, Option. Any other name is offered to the builder callback first and
// otherwise becomes a plain container when it has child elements, a plain control when not.
// Attributes set the control's properties (name, text, tooltip, visible, enabled, width, height,
// size, textcolor, readonly, selected, group); the rest are kept as custom attributes.
#pragma once

#include "toolkit/ui_control.h"

namespace DuiLib {

class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    // A control for an element name the builder does not know, or null.
    virtual CControlUI* CreateControl(LPCTSTR className) = 0;
};

class CDialogBuilder {
public:
    // Skins nested deeper than this are refused as a whole.
    static constexpr int kMaxDepth = 256;

    CDialogBuilder() = default;
    ~CDialogBuilder() = default;

    // `xml` is skin text (it starts with '<') or the name of a skin file, looked up in the
    // resource path unless it is a full path. Answers the root control, owned by the caller
    // (or, when added, by `parent`), or null when there is no usable skin: no text, no file,
    // not XML, no element, or nested too deep. `type` is accepted and unused. The built controls
    // get `manager`; when `parent` is a container the root is added to it.
    CControlUI* Create(LPCTSTR xml, LPCTSTR type = nullptr,
                       IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);

    // Why the last Create answered null; empty after a success.
    const CDuiString& GetLastErrorMessage() const { return error_; }

private:
    CDuiString error_;
};

} // namespace DuiLib
