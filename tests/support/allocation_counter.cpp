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

namespace {

void* Allocate(std::size_t size) noexcept {
    if (activeCount) ++*activeCount;
    return std::malloc(size ? size : 1);
}

void* AllocateOrThrow(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}

} // namespace

// Every replaceable allocation and deallocation function but the over-aligned ones, which keep
// the library's (or a sanitizer's) own pair: a replaced function must never free what one left
// in place allocated, nor the other way round.
void* operator new(std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}

void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
