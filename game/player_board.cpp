#include "game/player_board.h"

#include <algorithm>
#include <cstring>

namespace {

// The index starts with room for this many places; it doubles when half full.
constexpr std::size_t kInitialIndexPlaces = 64;
// Names are kept in blocks of at least this many units (a name longer than that gets its own).
constexpr std::size_t kNameBlockUnits = std::size_t{1} << 16;

// Fibonacci hashing: ids that arrive in order spread over the whole index.
std::size_t HashOf(std::uint32_t senderId) {
    return static_cast<std::size_t>(senderId * 0x9E3779B1u);
}

} // namespace

PlayerBoard::PlayerBoard() : index_(kInitialIndexPlaces, 0), indexMask_(kInitialIndexPlaces - 1) {}

std::size_t PlayerBoard::IndexPlace(std::uint32_t senderId) const {
    std::size_t place = HashOf(senderId) & indexMask_;
    while (index_[place] != 0 && slots_[index_[place] - 1].entry.senderId != senderId)
        place = (place + 1) & indexMask_;
    return place;
}

void PlayerBoard::GrowIndexFor(std::size_t entries) {
    if (entries * 2 <= index_.size()) return;
    std::vector<std::uint32_t> larger(index_.size() * 2, 0);
    index_.swap(larger);
    indexMask_ = index_.size() - 1;
    for (std::uint32_t s = 0; s < slots_.size(); ++s) {
        const std::size_t place = IndexPlace(slots_[s].entry.senderId);
        index_[place] = s + 1;
        slots_[s].indexAt = static_cast<std::uint32_t>(place);
    }
}

std::u16string_view PlayerBoard::KeepName(std::u16string_view name) {
    if (name.empty()) return {};
    while (nameBlock_ < nameBlocks_.size() &&
           nameBlockSizes_[nameBlock_] - nameUsed_ < name.size()) {
        ++nameBlock_;
        nameUsed_ = 0;
    }
    if (nameBlock_ == nameBlocks_.size()) {
        const std::size_t units = std::max(kNameBlockUnits, name.size());
        nameBlocks_.push_back(std::make_unique_for_overwrite<char16_t[]>(units));
        nameBlockSizes_.push_back(units);
        nameUsed_ = 0;
    }
    char16_t* kept = nameBlocks_[nameBlock_].get() + nameUsed_;
    std::memcpy(kept, name.data(), name.size() * sizeof(char16_t));
    nameUsed_ += name.size();
    return {kept, name.size()};
}

std::uint32_t PlayerBoard::NewSlot(std::uint32_t senderId, std::u16string_view name,
                                   std::size_t place) {
    const auto slot = static_cast<std::uint32_t>(slots_.size());
    slots_.push_back(
        Slot{{KeepName(name), senderId, 0}, kNone, kNone, static_cast<std::uint32_t>(place)});
    index_[place] = slot + 1;
    return slot;
}

void PlayerBoard::LinkBack(ScoreList& list, std::uint32_t slot) {
    slots_[slot].prev = list.tail;
    slots_[slot].next = kNone;
    if (list.tail != kNone)
        slots_[list.tail].next = slot;
    else
        list.head = slot;
    list.tail = slot;
}

void PlayerBoard::LinkFront(ScoreList& list, std::uint32_t slot) {
    slots_[slot].prev = kNone;
    slots_[slot].next = list.head;
    if (list.head != kNone)
        slots_[list.head].prev = slot;
    else
        list.tail = slot;
    list.head = slot;
}

void PlayerBoard::Unlink(ScoreList& list, std::uint32_t slot) {
    const Slot& s = slots_[slot];
    (s.prev != kNone ? slots_[s.prev].next : list.head) = s.next;
    (s.next != kNone ? slots_[s.next].prev : list.tail) = s.prev;
}

std::uint16_t PlayerBoard::AddPoints(std::uint32_t senderId, std::u16string_view name,
                                     std::uint16_t points) {
    std::size_t place = IndexPlace(senderId);
    if (index_[place] == 0) {
        // A new entry starts with no points, behind every existing entry: climbing from there
        // puts it behind everyone at its new score.
        if ((slots_.size() + 1) * 2 > index_.size()) {
            GrowIndexFor(slots_.size() + 1);
            place = IndexPlace(senderId);
        }
        const std::uint32_t slot = NewSlot(senderId, name, place);
        slots_[slot].entry.points = points;
        LinkBack(scores_[points], slot);
        return points;
    }

    const std::uint32_t slot = index_[place] - 1;
    const std::uint16_t before = slots_[slot].entry.points;
    const auto after = static_cast<std::uint16_t>(before + points);
    if (after == before) return after;

    const auto from = scores_.find(before);
    Unlink(from->second, slot);
    if (from->second.head == kNone) scores_.erase(from);
    slots_[slot].entry.points = after;
    // Climbing: behind those who reached the score first. Wrapping down: ahead of those below,
    // which it was ahead of before the change.
    ScoreList& to = scores_[after];
    if (after > before)
        LinkBack(to, slot);
    else
        LinkFront(to, slot);
    return after;
}

std::size_t PlayerBoard::Top(const PlayerEntry** out, std::size_t n) const {
    std::size_t written = 0;
    for (auto score = scores_.begin(); score != scores_.end() && written < n; ++score)
        for (std::uint32_t s = score->second.head; s != kNone && written < n; s = slots_[s].next)
            out[written++] = &slots_[s].entry;
    return written;
}

const PlayerEntry* PlayerBoard::Find(std::uint32_t senderId) const {
    const std::uint32_t found = index_[IndexPlace(senderId)];
    return found == 0 ? nullptr : &slots_[found - 1].entry;
}

void PlayerBoard::Clear() {
    // Only the places in use are freed: a small round after a large one stays cheap.
    for (const Slot& slot : slots_)
        index_[slot.indexAt] = 0;
    slots_.clear();
    scores_.clear();
    nameBlock_ = 0;
    nameUsed_ = 0;
}
