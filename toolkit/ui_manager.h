// The paint manager: where the toolkit finds its resources, and the window a panel lives in.
//
// Headless: a manager paints nothing. It knows its window, the root control a host attached,
// and delivers notifications to controls and to the listeners added to it.
#pragma once

#include <vector>

#include "toolkit/ui_control.h"

namespace DuiLib {

class CPaintManagerUI {
public:
    // ---- Resources, for the whole process

    // The module whose folder holds the toolkit's resources.
    static void SetInstance(HINSTANCE instance);
    static HINSTANCE GetInstance();
    // The instance module's folder, ending in a backslash.
    static CDuiString GetInstancePath();
    // The folder skin files are looked up in; a missing trailing backslash is added.
    static void SetResourcePath(LPCTSTR path);
    static CDuiString GetResourcePath();
    // Milliseconds of a monotonic clock, wrapping at 2^32: the notifications' timestamps.
    static DWORD GetTickCount();

    // ---- One window

    CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;
    // Detaches the root; the root is not destroyed.
    ~CPaintManagerUI();

    void Init(HWND window) { window_ = window; }
    // The window that owns the panel: the owner of its message boxes and dialogs.
    HWND GetPaintWindow() const { return window_; }

    // Makes `root` the tree this window shows: every control in it answers this manager from
    // GetManager. The root stays the caller's; null detaches the current one.
    bool AttachDialog(CControlUI* root);
    CControlUI* GetRoot() const { return root_; }
    // The first control of the attached tree named exactly `name`, or null.
    CControlUI* FindControl(LPCTSTR name) const;

    // Listeners receive every notification after the sender's own OnNotify delegates.
    void AddNotifier(INotifyUI* notifier);
    void RemoveNotifier(INotifyUI* notifier);
    // Builds a notification of `type` from `control` and delivers it.
    void SendNotify(CControlUI* control, LPCTSTR type, WPARAM wParam = 0, LPARAM lParam = 0);
    // Delivers `msg` to msg.pSender's OnNotify, then to the listeners.
    void SendNotify(TNotifyUI& msg);

private:
    friend class CControlUI;
    // Called by a control being destroyed: when `manager` still exists and shows `control` as
    // its root, the manager forgets it without touching it.
    static void ForgetRoot(CPaintManagerUI* manager, CControlUI* control);

    HWND window_ = nullptr;
    CControlUI* root_ = nullptr;
    std::vector<INotifyUI*> notifiers_;
};

} // namespace DuiLib
