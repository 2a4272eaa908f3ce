// Viewers' standings in a game, ranked by points, highest first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <memory_resource>
#include <string_view>
#include <vector>

#include "game/sender_index.h"

// One viewer's standing. The name is the one from the viewer's first counted message and is never
// updated; points wrap modulo 65536. The name lives in the board and stays until it is cleared.
struct PlayerEntry {
    std::u16string_view senderName;
    std::uint32_t senderId = 0;
    std::uint16_t points = 0;
};

// Entries ordered by points, highest first. Among equal points the order is the one a stable sort
// after every change gives: a viewer who climbs to a score goes behind those who reached it
// earlier, and one whose points wrap round to a lower score goes ahead of those already there.
//
// Finding a viewer and moving it to its new place cost constant time whatever the board's size,
// and a new viewer's entry and name are written one after the other's, so that a room of a
// hundred thousand new viewers costs per viewer about what a room of a thousand does: the only
// memory touched out of order is one slot of the index per viewer.
class PlayerBoard {
public:
    // Adds `points` to the viewer's entry, first creating it with `name` and no points when the
    // viewer is new. Returns the entry's new total.
    std::uint16_t AddPoints(std::uint32_t senderId, std::u16string_view name, std::uint16_t points);

    // Writes pointers to the first min(n, size()) entries in rank order into `out` and returns how
    // many were written. The pointers stay valid until the board next changes.
    std::size_t Top(const PlayerEntry** out, std::size_t n) const;

    const PlayerEntry* Find(std::uint32_t senderId) const;
    // Asks the memory for what finding the viewer first touches, a few viewers ahead of adding.
    void Prefetch(std::uint32_t senderId) const { index_.Prefetch(senderId); }
    std::size_t size() const { return slots_.size(); }
    bool empty() const { return slots_.empty(); }
    // Forgets every entry, keeping the memory: a room that fills the board again every round
    // allocates nothing.
    void Clear();

private:
    static constexpr std::uint32_t kNone = SenderIndex::kAbsent;

    // An entry, linked with the others of its score in rank order.
    struct Slot {
        PlayerEntry entry;
        std::uint32_t prev = kNone, next = kNone;
    };
    struct ScoreList {
        std::uint32_t head = kNone, tail = kNone;
    };

    void LinkBack(ScoreList& list, std::uint32_t slot);
    void LinkFront(ScoreList& list, std::uint32_t slot);
    void Unlink(ScoreList& list, std::uint32_t slot);
    // Makes room for one more entry and a name of `nameUnits`, so that adding them cannot fail.
    void MakeRoom(std::size_t nameUnits);
    // Copies `name` into the room made for it.
    std::u16string_view KeepName(std::u16string_view name);

    std::vector<Slot> slots_; // in the order viewers arrived
    SenderIndex index_;       // a viewer's slot
    // The scores held, highest first; its nodes come from a pool kept across rounds.
    std::pmr::unsynchronized_pool_resource pool_;
    std::pmr::map<std::uint16_t, ScoreList, std::greater<>> scores_{&pool_};
    // Names in blocks that never move, so that an entry's name stays where it is.
    std::vector<std::unique_ptr<char16_t[]>> nameBlocks_;
    std::vector<std::size_t> nameBlockSizes_;
    std::size_t nameBlock_ = 0; // the block being filled
    std::size_t nameUsed_ = 0;  // units used in it
};
