#include "game/sender_set.h"

namespace {

constexpr std::size_t kInitialPlaces = 64;

std::uint64_t Stored(std::uint32_t senderId) {
    return std::uint64_t{senderId} + 1;
}

} // namespace

SenderSet::SenderSet() : places_(kInitialPlaces, 0), mask_(kInitialPlaces - 1) {}

std::size_t SenderSet::PlaceOf(std::uint32_t senderId) const {
    // Fibonacci hashing spreads ids that arrive in order over the whole table.
    std::size_t place = static_cast<std::size_t>(senderId * 0x9E3779B1u) & mask_;
    while (places_[place] != 0 && places_[place] != Stored(senderId))
        place = (place + 1) & mask_;
    return place;
}

bool SenderSet::Contains(std::uint32_t senderId) const {
    return places_[PlaceOf(senderId)] != 0;
}

bool SenderSet::Insert(std::uint32_t senderId) {
    std::size_t place = PlaceOf(senderId);
    if (places_[place] != 0) return false;
    if ((used_.size() + 1) * 2 > places_.size()) { // at most half full: probes stay short
        Grow();
        place = PlaceOf(senderId);
    }
    places_[place] = Stored(senderId);
    used_.push_back(static_cast<std::uint32_t>(place));
    return true;
}

void SenderSet::Grow() {
    std::vector<std::uint64_t> old(places_.size() * 2, 0);
    old.swap(places_);
    mask_ = places_.size() - 1;
    for (std::uint32_t& place : used_) {
        const std::uint64_t stored = old[place];
        place = static_cast<std::uint32_t>(PlaceOf(static_cast<std::uint32_t>(stored - 1)));
        places_[place] = stored;
    }
}

void SenderSet::Clear() {
    for (const std::uint32_t place : used_)
        places_[place] = 0;
    used_.clear();
}
