// Controls that hold other controls, and the two stacking layouts.
#pragma once

#include <memory>
#include <vector>

#include "toolkit/ui_control.h"

namespace DuiLib {

// What every container offers, whatever else it is.
class IContainerUI {
public:
    virtual ~IContainerUI() = default;
    virtual CControlUI* GetItemAt(int index) const = 0;      // null outside 0 .. count - 1
    virtual int GetItemIndex(CControlUI* control) const = 0; // -1 when not a child
    virtual int GetCount() const = 0;
    virtual bool Add(CControlUI* control) = 0;
    virtual bool AddAt(CControlUI* control, int index) = 0;
    virtual bool Remove(CControlUI* control) = 0;
    virtual bool RemoveAt(int index) = 0;
    virtual void RemoveAll() = 0;
};

// A control that owns its children: they are destroyed with it, or when removed.
class CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI();
    ~CContainerUI() override;

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    int GetCount() const override;
    // Takes ownership and appends. Refused (false, ownership stays with the caller) for null, for
    // a control that already has a parent, and for this container or any container holding it.
    bool Add(CControlUI* control) override;
    // As Add, inserted before position `index` (clamped to 0 .. count).
    bool AddAt(CControlUI* control, int index) override;
    // Destroys the child; false when `control` is not a child.
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    // Destroys every child.
    void RemoveAll() override;

    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
    // Visits this container, then its children in order, each one's subtree before the next.
    CControlUI* FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) override;
    // The first control of this subtree named exactly `name`, or null.
    CControlUI* FindSubControl(LPCTSTR name);

private:
    bool CanAdopt(CControlUI* control) const;

    std::vector<std::unique_ptr<CControlUI>> items_;
};

// Children stacked top to bottom.
class CVerticalLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
};

// Children side by side, left to right.
class CHorizontalLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
};

// FindControl predicate: the control whose name equals the LPCTSTR `data`.
CControlUI* FindControlByNameProc(CControlUI* control, LPVOID data);

} // namespace DuiLib
