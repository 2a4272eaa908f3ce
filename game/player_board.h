// Viewers' standings in a game, ranked by points, highest first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>

// One viewer's standing. The name is the one from the viewer's first counted message and is never
// updated; points wrap modulo 65536. The name's storage comes from the board's pool.
struct PlayerEntry {
    std::uint32_t senderId = 0;
    std::pmr::u16string senderName;
    std::uint16_t points = 0;
};

// Entries ordered by points, highest first. Among equal points the order is the one a stable sort
// after every change gives: a viewer who climbs to a score goes behind those who reached it
// earlier, and one whose points wrap round to a lower score goes ahead of those already there.
//
// Finding a viewer and moving it to its new place cost constant time whatever the board's size
// (one bucket of entries per score), so a room of tens of thousands of viewers ranks as cheaply as
// a room of three.
class PlayerBoard {
public:
    // Adds `points` to the viewer's entry, first creating it with `name` and no points when the
    // viewer is new. Returns the entry's new total.
    std::uint16_t AddPoints(std::uint32_t senderId, std::u16string_view name, std::uint16_t points);

    // Writes pointers to the first min(n, size()) entries in rank order into `out` and returns how
    // many were written. The pointers stay valid until the board next changes.
    std::size_t Top(const PlayerEntry** out, std::size_t n) const;

    const PlayerEntry* Find(std::uint32_t senderId) const;
    std::size_t size() const { return index_.size(); }
    bool empty() const { return index_.empty(); }
    void Clear();

private:
    // Entries, names longer than a string holds in place, buckets and index nodes come from one
    // pool, which keeps the memory of a cleared board for the next round: a room that fills the
    // board again every round allocates nothing.
    std::pmr::unsynchronized_pool_resource pool_;
    using Bucket = std::pmr::list<PlayerEntry>;
    std::pmr::map<std::uint16_t, Bucket, std::greater<>> buckets_{&pool_}; // highest score first
    std::pmr::unordered_map<std::uint32_t, Bucket::iterator> index_{&pool_};
};
