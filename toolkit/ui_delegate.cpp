#include "toolkit/ui_delegate.h"

#include <algorithm>
#include <typeinfo>

namespace DuiLib {

CDelegateBase::CDelegateBase(void* object, const void* function, std::size_t size)
    : object_(object) {
    std::memcpy(function_, function, std::min(size, kFunctionSize));
}

bool CDelegateBase::Equals(const CDelegateBase& other) const {
    return typeid(*this) == typeid(other) && object_ == other.object_ &&
           std::memcmp(function_, other.function_, kFunctionSize) == 0;
}

CEventSource::CEventSource(const CEventSource& other) {
    *this = other;
}

CEventSource& CEventSource::operator=(const CEventSource& other) {
    if (this == &other) return *this;
    std::vector<std::shared_ptr<CDelegateBase>> copies;
    copies.reserve(other.delegates_.size());
    for (const auto& delegate : other.delegates_)
        copies.emplace_back(delegate->Copy());
    delegates_ = std::move(copies);
    return *this;
}

CEventSource::~CEventSource() = default;

void CEventSource::operator+=(const CDelegateBase& delegate) {
    delegates_.emplace_back(delegate.Copy());
}

void CEventSource::operator+=(FnType function) {
    *this += CDelegateStatic(function);
}

void CEventSource::operator-=(const CDelegateBase& delegate) {
    const auto found = std::find_if(delegates_.begin(), delegates_.end(),
                                    [&](const auto& held) { return held->Equals(delegate); });
    if (found != delegates_.end()) delegates_.erase(found);
}

void CEventSource::operator-=(FnType function) {
    *this -= CDelegateStatic(function);
}

bool CEventSource::operator()(void* param) {
    // A delegate may change this source, or destroy the control that holds it: run a snapshot
    // and never touch `this` once the first delegate has run.
    const std::vector<std::shared_ptr<CDelegateBase>> snapshot = delegates_;
    for (const auto& delegate : snapshot)
        if (!(*delegate)(param)) return false;
    return true;
}

} // namespace DuiLib
