// The base of every control, and the notification record controls send.
#pragma once

#include <cstdint>
#include <map>

#include "toolkit/ui_delegate.h"
#include "toolkit/ui_string.h"

namespace DuiLib {

class CControlUI;
class CPaintManagerUI;

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

struct CDuiPoint {
    LONG x = 0;
    LONG y = 0;
};

// Notification types the toolkit sends.
inline constexpr LPCTSTR DUI_MSGTYPE_CLICK = u"click";
inline constexpr LPCTSTR DUI_MSGTYPE_SELECTCHANGED = u"selectchanged";
inline constexpr LPCTSTR DUI_MSGTYPE_TEXTCHANGED = u"textchanged";
inline constexpr LPCTSTR DUI_MSGTYPE_ITEMSELECT = u"itemselect";

// One notification. Handlers receive a pointer to it and read its type first.
struct TNotifyUI {
    CDuiString sType;
    CDuiString sVirtualWnd;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0; // milliseconds of a monotonic clock
    CDuiPoint ptMouse;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Receives every notification a paint manager sends.
class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// Answers the control when it is the one sought, null otherwise.
using FINDCONTROLPROC = CControlUI* (*)(CControlUI* control, LPVOID data);

// FindControl flags: which controls a search may visit.
inline constexpr UINT UIFIND_ALL = 0x0;
inline constexpr UINT UIFIND_VISIBLE = 0x1; // skip hidden controls and all they hold
inline constexpr UINT UIFIND_ENABLED = 0x2; // skip disabled controls and all they hold

// Interface names for GetInterface.
inline constexpr LPCTSTR DUI_CTR_CONTROL = u"Control";
inline constexpr LPCTSTR DUI_CTR_ICONTAINER = u"IContainer";

class CControlUI {
public:
    CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;
    virtual ~CControlUI();

    // The class name a host presents, e.g. "ButtonUI".
    virtual LPCTSTR GetClass() const;
    // This control seen as the named interface or class ("Control", "Label", "IContainer", ...),
    // or null when it is not one.
    virtual LPVOID GetInterface(LPCTSTR name);

    const CDuiString& GetName() const { return name_; }
    void SetName(LPCTSTR name) { name_ = name; }
    // A reference that stays valid until the text changes or the control goes away.
    const CDuiString& GetText() const { return text_; }
    virtual void SetText(LPCTSTR text) { text_ = text; }
    const CDuiString& GetToolTip() const { return toolTip_; }
    void SetToolTip(LPCTSTR text) { toolTip_ = text; }
    bool IsVisible() const { return visible_; }
    virtual void SetVisible(bool visible) { visible_ = visible; }
    bool IsEnabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled) { enabled_ = enabled; }
    // Fixed size in pixels; 0 lets the layout decide.
    int GetFixedWidth() const { return width_; }
    void SetFixedWidth(int width) { width_ = width < 0 ? 0 : width; }
    int GetFixedHeight() const { return height_; }
    void SetFixedHeight(int height) { height_ = height < 0 ? 0 : height; }

    // The paint manager of the window that shows this control, or null.
    CPaintManagerUI* GetManager() const { return manager_; }
    // The container holding this control, or null.
    CControlUI* GetParent() const { return parent_; }
    // Sets the manager of this control and of everything it holds, and its parent.
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent);

    // Applies one skin attribute. Attributes this control does not understand are kept and
    // answered by GetCustomAttribute, so a host can present them.
    virtual void SetAttribute(LPCTSTR name, LPCTSTR value);
    // A kept attribute's value, or null.
    LPCTSTR GetCustomAttribute(LPCTSTR name) const;
    void AddCustomAttribute(LPCTSTR name, LPCTSTR value);

    // The first control of this subtree, in document order, for which `proc` answers non-null.
    virtual CControlUI* FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags);

    // What a person does to the control, as a host replays it: true when the control accepted
    // it (visible and enabled). A plain control accepts nothing.
    virtual bool Activate();
    // Builds a notification of `type` sent by this control and delivers it: through the paint
    // manager when there is one, straight to OnNotify otherwise.
    void SendNotify(LPCTSTR type, WPARAM wParam = 0, LPARAM lParam = 0);

    // Runs with a pointer to each notification this control sends.
    CEventSource OnNotify;

protected:
    // Accepts a person's action only while the control can be seen and used.
    bool CanBeActivated() const { return visible_ && enabled_; }

private:
    CDuiString name_;
    CDuiString text_;
    CDuiString toolTip_;
    bool visible_ = true;
    bool enabled_ = true;
    int width_ = 0;
    int height_ = 0;
    CPaintManagerUI* manager_ = nullptr;
    CControlUI* parent_ = nullptr;
    std::map<std::u16string, std::u16string, std::less<>> customAttributes_;
};

// Skin attribute values.
bool ParseBool(LPCTSTR value);
// A whole decimal number, or false and `number` untouched.
bool ParseInt(LPCTSTR value, int& number);
// "#AARRGGBB", "#RRGGBB" (opaque) or "0xAARRGGBB"; false and `colour` untouched otherwise.
bool ParseColor(LPCTSTR value, DWORD& colour);

} // namespace DuiLib
