#include "game/player_board.h"

#include <algorithm>
#include <cstring>

namespace {

// Names are kept in blocks of at least this many units (a name longer than that gets its own).
constexpr std::size_t kNameBlockUnits = std::size_t{1} << 16;

} // namespace

void PlayerBoard::MakeRoom(std::size_t nameUnits) {
    if (slots_.size() == slots_.capacity())
        slots_.reserve(std::max<std::size_t>(64, 2 * slots_.size()));
    while (nameBlock_ < nameBlocks_.size() && nameBlockSizes_[nameBlock_] - nameUsed_ < nameUnits) {
        ++nameBlock_;
        nameUsed_ = 0;
    }
    if (nameBlock_ == nameBlocks_.size()) {
        const std::size_t units = std::max(kNameBlockUnits, nameUnits);
        nameBlocks_.push_back(std::make_unique_for_overwrite<char16_t[]>(units));
        nameBlockSizes_.push_back(units);
        nameUsed_ = 0;
    }
}

std::u16string_view PlayerBoard::KeepName(std::u16string_view name) {
    if (name.empty()) return {};
    char16_t* kept = nameBlocks_[nameBlock_].get() + nameUsed_;
    std::memcpy(kept, name.data(), name.size() * sizeof(char16_t));
    nameUsed_ += name.size();
    return {kept, name.size()};
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
    // Room for a new entry is made before the index is asked, so that once the index holds a
    // viewer nothing can fail before the entry exists.
    MakeRoom(name.size());
    const auto fresh = static_cast<std::uint32_t>(slots_.size());
    const std::uint32_t slot = index_.Emplace(senderId, fresh);
    if (slot == kNone) {
        // A new entry starts with no points, behind every existing entry: climbing from there
        // puts it behind everyone at its new score.
        slots_.push_back(Slot{{KeepName(name), senderId, points}, kNone, kNone});
        LinkBack(scores_[points], fresh);
        return points;
    }

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
    const std::uint32_t slot = index_.Find(senderId);
    return slot == kNone ? nullptr : &slots_[slot].entry;
}

void PlayerBoard::Clear() {
    index_.Clear();
    slots_.clear();
    scores_.clear();
    nameBlock_ = 0;
    nameUsed_ = 0;
}
