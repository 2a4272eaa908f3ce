// A panel handler as the toolkit calls it, with a guard: an exception the handler lets out (out of
// memory while loading a bank, say) ends the handler, leaves a trace and answers false, instead of
// unwinding through the toolkit and the host's message loop.
#pragma once

#include "platform/debug.h"
#include "toolkit/ui_delegate.h"

template <class Panel>
class NoThrowDelegate : public DuiLib::CDelegate<Panel> {
public:
    using DuiLib::CDelegate<Panel>::CDelegate;
    DuiLib::CDelegateBase* Copy() const override { return new NoThrowDelegate(*this); }

protected:
    bool Invoke(void* notification) noexcept override {
        try {
            return DuiLib::CDelegate<Panel>::Invoke(notification);
        } catch (...) {
            try {
                OutputDebugStringA("askgame: a panel handler failed and was abandoned");
            } catch (...) {
            }
            return false;
        }
    }
};
