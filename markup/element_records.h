// The element records of a parsed document: one record of eight 32-bit words per element, kept
// in segments of 65,536 so that a large document never needs one huge block. An element is
// named by its index: the high 16 bits select the segment, the low 16 bits the record in it.
// Index 0 is the document itself.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace markup {

struct ElementRecord {
    std::uint32_t start;       // offset of the element's "<"
    std::uint32_t length;      // "<" to the end of the end tag (or of the start tag when none)
    std::uint32_t tagLengths;  // low 22 bits start-tag length, high 10 bits end-tag length
    std::uint32_t levelFlags;  // low 16 bits nesting level, high 16 bits the flags below
    std::uint32_t parent;      // 0 for a top-level element
    std::uint32_t firstChild;  // 0 when none
    std::uint32_t nextSibling; // 0 when none
    std::uint32_t prevSibling; // for a first child: the parent's last child
};
static_assert(sizeof(ElementRecord) == 32);

inline constexpr std::uint32_t kFirstChild = 0x00080000;
inline constexpr std::uint32_t kUnended = 0x00100000;
inline constexpr std::uint32_t kProblemInside = 0x00200000;
inline constexpr std::uint32_t kNotWellFormed = 0x00800000; // on the document record only
inline constexpr std::uint32_t kLevelMask = 0x0000FFFF;

class ElementRecords {
public:
    static constexpr std::uint32_t kSegmentBits = 16;
    static constexpr std::uint32_t kSegmentSize = 1u << kSegmentBits;

    ElementRecords() { Reset(1); }

    // Drops every element, keeping a zeroed document record, with room for `reserve` records.
    void Reset(std::uint64_t reserve);
    // A new zeroed record; the array grows by half when full. 0 when no index is left.
    std::uint32_t Add();
    std::uint32_t Count() const { return count_; }

    ElementRecord& operator[](std::uint32_t index) {
        return segments_[index >> kSegmentBits][index & (kSegmentSize - 1)];
    }
    const ElementRecord& operator[](std::uint32_t index) const {
        return segments_[index >> kSegmentBits][index & (kSegmentSize - 1)];
    }

    // Tag lengths that do not fit their bit fields are kept aside; these read either kind.
    void SetTagLengths(std::uint32_t index, std::uint32_t startTag, std::uint32_t endTag);
    std::uint32_t StartTagLength(std::uint32_t index) const;
    std::uint32_t EndTagLength(std::uint32_t index) const;

private:
    struct SegmentFree {
        std::size_t alignment;
        void operator()(ElementRecord* records) const;
    };
    using Segment = std::unique_ptr<ElementRecord[], SegmentFree>;
    static Segment NewSegment(std::uint32_t size);
    void Grow(std::uint64_t capacity);

    std::vector<Segment> segments_;
    std::uint32_t lastSegmentSize_ = 0;
    std::uint64_t capacity_ = 0;
    std::uint32_t count_ = 0;
    std::unordered_map<std::uint32_t, std::uint32_t> longStartTags_;
    std::unordered_map<std::uint32_t, std::uint32_t> longEndTags_;
};

} // namespace markup
