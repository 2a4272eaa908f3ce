#include "toolkit/ui_manager.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <unordered_set>

#include "platform/shell.h"
#include "toolkit/ui_container.h"

namespace DuiLib {

namespace {

// Set once at library load, read when skins are found; guarded all the same.
std::mutex resourceMutex;
HINSTANCE instance = nullptr;
CDuiString resourcePath;

// The managers that exist, so that a control outliving its manager never reaches into it.
std::mutex managersMutex;
std::unordered_set<const CPaintManagerUI*> liveManagers;

// Room for the longest path the system allows, not just MAX_PATH.
constexpr DWORD kLongPathUnits = 32768;

} // namespace

void CPaintManagerUI::SetInstance(HINSTANCE module) {
    std::lock_guard lock(resourceMutex);
    instance = module;
}

HINSTANCE CPaintManagerUI::GetInstance() {
    std::lock_guard lock(resourceMutex);
    return instance;
}

CDuiString CPaintManagerUI::GetInstancePath() {
    std::u16string path(kLongPathUnits, u'\0');
    const DWORD length = GetModuleFileNameW(GetInstance(), path.data(), kLongPathUnits);
    if (length == 0 || length >= kLongPathUnits) return {};
    path.resize(length);
    const auto slash = path.find_last_of(u'\\');
    if (slash == std::u16string::npos) return {};
    path.resize(slash + 1);
    return CDuiString(std::move(path));
}

void CPaintManagerUI::SetResourcePath(LPCTSTR path) {
    CDuiString folder = path;
    if (!folder.IsEmpty() && folder.GetAt(folder.GetLength() - 1) != u'\\') folder += u'\\';
    std::lock_guard lock(resourceMutex);
    resourcePath = folder;
}

CDuiString CPaintManagerUI::GetResourcePath() {
    std::lock_guard lock(resourceMutex);
    return resourcePath;
}

DWORD CPaintManagerUI::GetTickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

CPaintManagerUI::CPaintManagerUI() {
    std::lock_guard lock(managersMutex);
    liveManagers.insert(this);
}

CPaintManagerUI::~CPaintManagerUI() {
    AttachDialog(nullptr);
    std::lock_guard lock(managersMutex);
    liveManagers.erase(this);
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    if (root_ && root_ != root) root_->SetManager(nullptr, root_->GetParent());
    root_ = root;
    if (root_) root_->SetManager(this, root_->GetParent());
    return root_ != nullptr;
}

void CPaintManagerUI::ForgetRoot(CPaintManagerUI* manager, CControlUI* control) {
    std::lock_guard lock(managersMutex);
    if (liveManagers.contains(manager) && manager->root_ == control) manager->root_ = nullptr;
}

CControlUI* CPaintManagerUI::FindControl(LPCTSTR name) const {
    if (!root_) return nullptr;
    return root_->FindControl(FindControlByNameProc, const_cast<TCHAR*>(name), UIFIND_ALL);
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (notifier && std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end())
        notifiers_.push_back(notifier);
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    std::erase(notifiers_, notifier);
}

void CPaintManagerUI::SendNotify(CControlUI* control, LPCTSTR type, WPARAM wParam, LPARAM lParam) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = control;
    msg.dwTimestamp = GetTickCount();
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg);
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg) {
    // Listeners are copied first: a handler may add or remove one, or destroy the sender.
    const std::vector<INotifyUI*> notifiers = notifiers_;
    if (msg.pSender) msg.pSender->OnNotify(&msg);
    for (INotifyUI* notifier : notifiers)
        notifier->Notify(msg);
}

} // namespace DuiLib
