#include "game/player_board.h"

#include <iterator>

std::uint16_t PlayerBoard::AddPoints(std::uint32_t senderId, std::u16string_view name,
                                     std::uint16_t points) {
    auto found = index_.find(senderId);
    if (found == index_.end()) {
        // A new entry starts with no points, behind every existing entry.
        Bucket& bucket = buckets_[0];
        bucket.push_back(PlayerEntry{senderId, std::pmr::u16string(name, &pool_), 0});
        found = index_.emplace(senderId, std::prev(bucket.end())).first;
    }

    const Bucket::iterator entry = found->second;
    const std::uint16_t before = entry->points;
    const auto after = static_cast<std::uint16_t>(before + points);
    if (after == before) return after;

    Bucket& from = buckets_.at(before);
    Bucket& to = buckets_[after];
    entry->points = after;
    // Climbing: behind those who reached the score first. Wrapping down: ahead of those below,
    // which it was ahead of before the change.
    to.splice(after > before ? to.end() : to.begin(), from, entry);
    if (from.empty()) buckets_.erase(before);
    return after;
}

std::size_t PlayerBoard::Top(const PlayerEntry** out, std::size_t n) const {
    std::size_t written = 0;
    for (auto bucket = buckets_.begin(); bucket != buckets_.end() && written < n; ++bucket)
        for (auto e = bucket->second.begin(); e != bucket->second.end() && written < n; ++e)
            out[written++] = &*e;
    return written;
}

const PlayerEntry* PlayerBoard::Find(std::uint32_t senderId) const {
    const auto found = index_.find(senderId);
    return found == index_.end() ? nullptr : &*found->second;
}

void PlayerBoard::Clear() {
    index_.clear();
    buckets_.clear();
}
