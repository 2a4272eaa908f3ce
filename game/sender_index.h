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
    bool Insert(std::uint32_t senderId, std::uint32_t value = 0) {
        return Emplace(senderId, value) == kAbsent;
    }
    // Adds `senderId` with `value` (not kAbsent) unless it is there; returns the number it held
    // before, kAbsent when it was added. One probe does both the finding and the adding.
    std::uint32_t Emplace(std::uint32_t senderId, std::uint32_t value);
    // Asks the memory for the place `senderId` hashes to, ahead of finding or adding it: a scan
    // that knows the ids it will meet a few messages on waits for none of their places.
    void Prefetch(std::uint32_t senderId) const { __builtin_prefetch(&places_[Home(senderId)]); }
    std::size_t size() const { return used_.size(); }
    void Clear();

private:
    static constexpr std::uint64_t kGoldenRatio64 = 0x9E3779B97F4A7C15ull;

    struct Place {
        std::uint32_t senderId = 0;
        std::uint32_t value = kAbsent; // kAbsent: a free place
    };

    // The place `senderId` hashes to, and where it is or would go: open addressing, linear
    // probing from its home.
    std::size_t Home(std::uint32_t senderId) const {
        // Fibonacci hashing, from the product's high bits: its low bits would depend only on the
        // id's low bits, and ids that step by a power of two would then pile up in a few places.
        return static_cast<std::size_t>((senderId * kGoldenRatio64) >> (64 - bits_));
    }
    std::size_t PlaceOf(std::uint32_t senderId) const;
    void Grow();

    std::vector<Place> places_; // a power of two, at most half of them taken
    std::size_t mask_;
    unsigned bits_;                   // places_.size() is 2^bits_
    std::vector<std::uint32_t> used_; // the places taken, for Clear
};
