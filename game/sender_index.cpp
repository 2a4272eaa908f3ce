#include "game/sender_index.h"

namespace {

constexpr unsigned kInitialBits = 6; // 64 places

} // namespace

SenderIndex::SenderIndex()
    : places_(std::size_t{1} << kInitialBits), mask_(places_.size() - 1), bits_(kInitialBits) {}

std::size_t SenderIndex::PlaceOf(std::uint32_t senderId) const {
    std::size_t place = Home(senderId);
    while (places_[place].value != kAbsent && places_[place].senderId != senderId)
        place = (place + 1) & mask_;
    return place;
}

std::uint32_t SenderIndex::Find(std::uint32_t senderId) const {
    return places_[PlaceOf(senderId)].value;
}

std::uint32_t SenderIndex::Emplace(std::uint32_t senderId, std::uint32_t value) {
    std::size_t place = PlaceOf(senderId);
    if (places_[place].value != kAbsent) return places_[place].value;
    if ((used_.size() + 1) * 2 > places_.size()) { // at most half full: probes stay short
        Grow();
        place = PlaceOf(senderId);
    }
    places_[place] = {senderId, value};
    used_.push_back(static_cast<std::uint32_t>(place));
    return kAbsent;
}

void SenderIndex::Grow() {
    std::vector<Place> old(places_.size() * 2);
    old.swap(places_);
    mask_ = places_.size() - 1;
    ++bits_;
    for (std::uint32_t& place : used_) {
        const Place moved = old[place];
        place = static_cast<std::uint32_t>(PlaceOf(moved.senderId));
        places_[place] = moved;
    }
}

void SenderIndex::Clear() {
    for (const std::uint32_t place : used_)
        places_[place] = Place{};
    used_.clear();
}
