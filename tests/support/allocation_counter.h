#pragma once

#include <cstddef>

// Counts the heap allocations made through operator new on this thread while it is alive. The
// test programs replace the global operator new (allocation_counter.cpp) with one that forwards
// to malloc and counts for the live counter of the calling thread, if any.
class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    std::size_t count() const { return count_; }

private:
    std::size_t count_ = 0;
    std::size_t* outer_;
};
