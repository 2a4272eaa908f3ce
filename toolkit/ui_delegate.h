// Delegates and event sources: how a control's notifications reach the code that handles them.
//
// A delegate binds an object to one of its member functions that takes an untyped pointer (the
// notification record) and returns bool. An event source holds delegates and runs them in the
// order they were added; a delegate answering false stops the ones after it.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

namespace DuiLib {

class CDelegateBase {
public:
    CDelegateBase(const CDelegateBase&) = default;
    CDelegateBase& operator=(const CDelegateBase&) = default;
    virtual ~CDelegateBase() = default;

    // A copy of the same kind, owned by the caller.
    virtual CDelegateBase* Copy() const = 0;
    void* GetObject() const { return object_; }
    // Same kind, same object, same function.
    bool Equals(const CDelegateBase& other) const;
    bool operator==(const CDelegateBase& other) const { return Equals(other); }
    bool operator()(void* param) { return Invoke(param); }

protected:
    // Room for any pointer to member function (two words in the ABIs we build for).
    static constexpr std::size_t kFunctionSize = 2 * sizeof(void*);

    // `function` points to `size` bytes holding the function (a function pointer or a pointer to
    // member function); they are kept by value.
    CDelegateBase(void* object, const void* function, std::size_t size);
    const void* GetFunction() const { return function_; }
    virtual bool Invoke(void* param) = 0;

private:
    void* object_;
    // Bytes, read and written with memcpy, so they need no alignment of their own. (Not
    // alignas(std::max_align_t): on 32-bit MinGW that is 8 or 16 depending on which header
    // defined it first, and the toolkit DLL and the panels then disagreed on where it lies.)
    unsigned char function_[kFunctionSize] = {};
};

// A plain function bool(void*).
class CDelegateStatic : public CDelegateBase {
public:
    using Fn = bool (*)(void*);
    explicit CDelegateStatic(Fn function) : CDelegateBase(nullptr, &function, sizeof function) {}
    CDelegateBase* Copy() const override { return new CDelegateStatic(*this); }

protected:
    bool Invoke(void* param) override {
        Fn function;
        std::memcpy(&function, GetFunction(), sizeof function);
        return function(param);
    }
};

// A member function bool (O::*)(void*) called on an object of class O.
template <class O, class T = O>
class CDelegate : public CDelegateBase {
public:
    using Fn = bool (T::*)(void*);
    static_assert(sizeof(Fn) <= kFunctionSize);

    CDelegate(O* object, Fn function) : CDelegateBase(object, &function, sizeof function) {}
    CDelegateBase* Copy() const override { return new CDelegate(*this); }

protected:
    bool Invoke(void* param) override {
        Fn function;
        std::memcpy(&function, GetFunction(), sizeof function);
        return (static_cast<O*>(GetObject())->*function)(param);
    }
};

template <class O, class T>
CDelegate<O, T> MakeDelegate(O* object, bool (T::*function)(void*)) {
    return CDelegate<O, T>(object, function);
}

inline CDelegateStatic MakeDelegate(bool (*function)(void*)) {
    return CDelegateStatic(function);
}

class CEventSource {
public:
    using FnType = bool (*)(void*);

    CEventSource() = default;
    CEventSource(const CEventSource& other);
    CEventSource& operator=(const CEventSource& other);
    ~CEventSource();

    // Adds a copy of the delegate at the end.
    void operator+=(const CDelegateBase& delegate);
    void operator+=(FnType function);
    // Removes the first delegate equal to this one.
    void operator-=(const CDelegateBase& delegate);
    void operator-=(FnType function);
    // Runs the delegates in order; the first to answer false stops the rest, and the answer is
    // false. Delegates added or removed while the source runs take effect from the next run.
    bool operator()(void* param);

    operator bool() const { return !delegates_.empty(); }
    int GetCount() const { return static_cast<int>(delegates_.size()); }

private:
    std::vector<std::shared_ptr<CDelegateBase>> delegates_;
};

} // namespace DuiLib
