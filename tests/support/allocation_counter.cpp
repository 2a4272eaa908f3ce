#include "support/allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local std::size_t* activeCount = nullptr;
} // namespace

AllocationCounter::AllocationCounter() : outer_(activeCount) {
    activeCount = &count_;
}

AllocationCounter::~AllocationCounter() {
    activeCount = outer_;
}

// The replaceable allocation functions; the array, nothrow and sized forms the library provides
// all come here. Over-aligned allocations keep the library's own functions.
void* operator new(std::size_t size) {
    if (activeCount) ++*activeCount;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
