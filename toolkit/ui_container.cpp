#include "toolkit/ui_container.h"

#include <algorithm>

namespace DuiLib {

namespace {

bool Is(LPCTSTR name, LPCTSTR expected) {
    return name && std::u16string_view(name) == std::u16string_view(expected);
}

IContainerUI* AsContainer(CControlUI* control) {
    return static_cast<IContainerUI*>(control->GetInterface(DUI_CTR_ICONTAINER));
}

bool PassesFilter(const CControlUI& control, UINT flags) {
    if ((flags & UIFIND_VISIBLE) && !control.IsVisible()) return false;
    if ((flags & UIFIND_ENABLED) && !control.IsEnabled()) return false;
    return true;
}

} // namespace

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
    RemoveAll();
}

LPCTSTR CContainerUI::GetClass() const {
    return u"ContainerUI";
}

LPVOID CContainerUI::GetInterface(LPCTSTR name) {
    if (Is(name, u"Container")) return static_cast<CContainerUI*>(this);
    if (Is(name, DUI_CTR_ICONTAINER)) return static_cast<IContainerUI*>(this);
    return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [&](const auto& item) { return item.get() == control; });
    return found == items_.end() ? -1 : static_cast<int>(found - items_.begin());
}

int CContainerUI::GetCount() const {
    return static_cast<int>(items_.size());
}

bool CContainerUI::CanAdopt(CControlUI* control) const {
    if (!control || control->GetParent()) return false;
    // Adopting itself or an ancestor would make the tree a loop that owns itself.
    for (const CControlUI* up = this; up; up = up->GetParent())
        if (up == control) return false;
    return true;
}

bool CContainerUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (!CanAdopt(control)) return false;
    const size_t at = static_cast<size_t>(std::clamp(index, 0, GetCount()));
    items_.emplace(items_.begin() + static_cast<std::ptrdiff_t>(at), control);
    control->SetManager(GetManager(), this);
    return true;
}

bool CContainerUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    return index >= 0 && RemoveAt(index);
}

bool CContainerUI::RemoveAt(int index) {
    if (index < 0 || index >= GetCount()) return false;
    // Out of the list first, so the child's destructor sees a consistent container.
    std::unique_ptr<CControlUI> child = std::move(items_[static_cast<size_t>(index)]);
    items_.erase(items_.begin() + index);
    return true;
}

void CContainerUI::RemoveAll() {
    std::vector<std::unique_ptr<CControlUI>> children = std::move(items_);
    items_.clear();
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    CControlUI::SetManager(manager, parent);
    for (const auto& item : items_)
        item->SetManager(manager, this);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) {
    if (!proc) return nullptr;
    // An explicit stack: the walk's depth does not depend on how deep the tree is nested.
    std::vector<CControlUI*> pending{this};
    while (!pending.empty()) {
        CControlUI* control = pending.back();
        pending.pop_back();
        if (!PassesFilter(*control, flags)) continue;
        if (CControlUI* found = proc(control, data)) return found;
        if (IContainerUI* box = AsContainer(control))
            for (int i = box->GetCount(); i-- > 0;)
                pending.push_back(box->GetItemAt(i));
    }
    return nullptr;
}

CControlUI* CContainerUI::FindSubControl(LPCTSTR name) {
    return FindControl(FindControlByNameProc, const_cast<TCHAR*>(name), UIFIND_ALL);
}

LPCTSTR CVerticalLayoutUI::GetClass() const {
    return u"VerticalLayoutUI";
}

LPVOID CVerticalLayoutUI::GetInterface(LPCTSTR name) {
    return Is(name, u"VerticalLayout") ? this : CContainerUI::GetInterface(name);
}

LPCTSTR CHorizontalLayoutUI::GetClass() const {
    return u"HorizontalLayoutUI";
}

LPVOID CHorizontalLayoutUI::GetInterface(LPCTSTR name) {
    return Is(name, u"HorizontalLayout") ? this : CContainerUI::GetInterface(name);
}

CControlUI* FindControlByNameProc(CControlUI* control, LPVOID data) {
    const auto* name = static_cast<LPCTSTR>(data);
    return name && control->GetName() == name ? control : nullptr;
}

} // namespace DuiLib
