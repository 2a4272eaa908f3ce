// A set of viewers' sender ids that keeps its memory when cleared: a question that a hundred
// thousand viewers answer fills it again after the next question without allocating, and a
// clear costs what the last question put in, not what the set once held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class SenderSet {
public:
    SenderSet();

    // Adds `senderId`; false when it was there already.
    bool Insert(std::uint32_t senderId);
    bool Contains(std::uint32_t senderId) const;
    std::size_t size() const { return used_.size(); }
    void Clear();

private:
    // Where `senderId` is or would go: open addressing, linear probing.
    std::size_t PlaceOf(std::uint32_t senderId) const;
    void Grow();

    std::vector<std::uint64_t> places_; // a sender id + 1, 0 for a free place; a power of two
    std::size_t mask_;
    std::vector<std::uint32_t> used_; // the places taken, for Clear
};
