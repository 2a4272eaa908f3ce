#include "markup/element_records.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "markup/large_buffer.h"

namespace markup {
namespace {

constexpr std::uint32_t kStartTagBits = 22;
constexpr std::uint32_t kStartTagMask = (1u << kStartTagBits) - 1;
constexpr std::uint32_t kEndTagMask = (1u << (32 - kStartTagBits)) - 1;
constexpr std::uint64_t kMaxRecords = std::uint64_t{1} << 32;
// A full segment is exactly one 2 MB huge page; aligned so, it can be backed by one.
constexpr std::size_t kFullSegmentAlignment = std::size_t{2} << 20;

} // namespace

void ElementRecords::SegmentFree::operator()(ElementRecord* records) const {
    ::operator delete[](records, std::align_val_t{alignment});
}

ElementRecords::Segment ElementRecords::NewSegment(std::uint32_t size) {
    const std::size_t alignment =
        size == kSegmentSize ? kFullSegmentAlignment : alignof(ElementRecord);
    const std::size_t bytes = std::size_t{size} * sizeof(ElementRecord);
    auto* records =
        static_cast<ElementRecord*>(::operator new[](bytes, std::align_val_t{alignment}));
    AdviseHugePages(records, bytes);
    return Segment(records, SegmentFree{alignment});
}

void ElementRecords::Reset(std::uint64_t reserve) {
    segments_.clear();
    lastSegmentSize_ = 0;
    capacity_ = 0;
    longStartTags_.clear();
    longEndTags_.clear();
    Grow(std::clamp<std::uint64_t>(reserve, 1, kMaxRecords));
    count_ = 1;
    (*this)[0] = ElementRecord{};
}

std::uint32_t ElementRecords::Add() {
    if (count_ >= kMaxRecords - 1) return 0; // whole segments may hold more than can be named
    if (count_ == capacity_) Grow(std::min(capacity_ + capacity_ / 2 + 1, kMaxRecords - 1));
    const std::uint32_t index = count_++;
    (*this)[index] = ElementRecord{};
    return index;
}

namespace {

// A segment for `records` records: a small document's records fit the segment exactly; from
// half a segment on, the segment comes whole, so that a large document's records are copied
// to grow at most once, and a segment after the first (a large document) is never copied.
std::uint32_t SegmentSizeFor(std::uint64_t records) {
    return records >= ElementRecords::kSegmentSize / 2 ? ElementRecords::kSegmentSize
                                                       : static_cast<std::uint32_t>(records);
}

} // namespace

// Fills the first segment up to its full size before starting new ones.
void ElementRecords::Grow(std::uint64_t capacity) {
    while (capacity_ < capacity) {
        const std::uint64_t wanted = capacity - capacity_;
        if (!segments_.empty() && lastSegmentSize_ < kSegmentSize) {
            const std::uint32_t size = SegmentSizeFor(lastSegmentSize_ + wanted);
            Segment larger = NewSegment(size);
            std::memcpy(larger.get(), segments_.back().get(),
                        lastSegmentSize_ * sizeof(ElementRecord));
            segments_.back() = std::move(larger);
            capacity_ += size - lastSegmentSize_;
            lastSegmentSize_ = size;
        } else {
            const std::uint32_t size = segments_.empty() ? SegmentSizeFor(wanted) : kSegmentSize;
            segments_.push_back(NewSegment(size));
            capacity_ += size;
            lastSegmentSize_ = size;
        }
    }
}

void ElementRecords::SetTagLengths(std::uint32_t index, std::uint32_t startTag,
                                   std::uint32_t endTag) {
    std::uint32_t packedStart = startTag, packedEnd = endTag;
    if (startTag >= kStartTagMask) {
        longStartTags_[index] = startTag;
        packedStart = kStartTagMask;
    }
    if (endTag >= kEndTagMask) {
        longEndTags_[index] = endTag;
        packedEnd = kEndTagMask;
    }
    (*this)[index].tagLengths = packedStart | (packedEnd << kStartTagBits);
}

std::uint32_t ElementRecords::StartTagLength(std::uint32_t index) const {
    const std::uint32_t packed = (*this)[index].tagLengths & kStartTagMask;
    return packed == kStartTagMask ? longStartTags_.at(index) : packed;
}

std::uint32_t ElementRecords::EndTagLength(std::uint32_t index) const {
    const std::uint32_t packed = (*this)[index].tagLengths >> kStartTagBits;
    return packed == kEndTagMask ? longEndTags_.at(index) : packed;
}

} // namespace markup
