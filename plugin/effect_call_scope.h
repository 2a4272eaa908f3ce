// Which effects are running one of their operations on this thread: an operation may call into
// the host, and the host may call back from inside that call. An effect destroyed from there would
// be freed under its own running operation, so the library refuses to destroy it.
#pragma once

class EffectCallScope {
public:
    // Marks `effect` as running on this thread for as long as the scope lives.
    explicit EffectCallScope(const void* effect) noexcept : effect_(effect), outer_(innermost_) {
        innermost_ = this;
    }
    ~EffectCallScope() { innermost_ = outer_; }
    EffectCallScope(const EffectCallScope&) = delete;
    EffectCallScope& operator=(const EffectCallScope&) = delete;

    static bool IsRunningHere(const void* effect) noexcept {
        for (const EffectCallScope* scope = innermost_; scope; scope = scope->outer_)
            if (scope->effect_ == effect) return true;
        return false;
    }

private:
    static thread_local const EffectCallScope* innermost_;
    const void* effect_;
    const EffectCallScope* outer_;
};
