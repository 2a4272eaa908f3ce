// Viewers' sender ids, each with a number of the owner's choosing (an entry's place, say), in a
// table that keeps its memory when cleared: a round that a hundred thousand viewers fill is
// filled again after it without allocating, and a clear costs what the round put in, not what
// the table once held. Only the one place of the table an id hashes to is touched out of order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class SenderIndex {
public:
    static constexpr std::uint32_t kAbsent = 0xFFFFFFFF;

    SenderIndex();

    // The number held for `senderId`, or kAbsent.
    std::uint32_t Find(std::uint32_t senderId) const;
    bool Contains(std::uint32_t senderId) const { return Find(senderId) != kAbsent; }
    // Adds `senderId` with `value` (not kAbsent); false, and nothing changed, when it was there.
    bool Insert(std::uint32_t senderId, std::uint32_t value = 0);
    std::size_t size() const { return used_.size(); }
    void Clear();

private:
    struct Place {
        std::uint32_t senderId = 0;
        std::uint32_t value = kAbsent; // kAbsent: a free place
    };

    // Where `senderId` is or would go: open addressing, linear probing.
    std::size_t PlaceOf(std::uint32_t senderId) const;
    void Grow();

    std::vector<Place> places_; // a power of two, at most half of them taken
    std::size_t mask_;
    unsigned bits_;                   // places_.size() is 2^bits_
    std::vector<std::uint32_t> used_; // the places taken, for Clear
};
