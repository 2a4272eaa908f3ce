#include "hosting/avc.h"

#include <cstdint>

namespace hosting {

namespace {

constexpr int kSequenceParameterSet = 7;
constexpr int kPictureParameterSet = 8;
// A record's counts and lengths: at most 31 sequence parameter sets, 255 picture ones, each at
// most 65535 bytes long.
constexpr std::size_t kMaxSequenceSets = 31;
constexpr std::size_t kMaxPictureSets = 255;
constexpr std::size_t kMaxSetBytes = 0xFFFF;
constexpr BYTE kLengthSizeMinusOne = 3; // four-byte lengths before each unit

int UnitType(std::span<const BYTE> unit) {
    return unit[0] & 0x1F;
}

// Where the start code at or after `from` begins, and its length; {size, 0} when none follows.
std::pair<std::size_t, std::size_t> NextStartCode(std::span<const BYTE> stream, std::size_t from) {
    for (std::size_t i = from; i + 3 <= stream.size(); ++i) {
        if (stream[i] != 0 || stream[i + 1] != 0) continue;
        if (stream[i + 2] == 1) return {i, 3};
        if (stream[i + 2] == 0 && i + 3 < stream.size() && stream[i + 3] == 1) return {i, 4};
    }
    return {stream.size(), 0};
}

void PutBigEndian(std::vector<BYTE>& out, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<BYTE>(value >> shift));
}

} // namespace

std::vector<std::span<const BYTE>> AnnexBUnits(std::span<const BYTE> stream) {
    std::vector<std::span<const BYTE>> units;
    auto [at, length] = NextStartCode(stream, 0);
    while (length != 0) {
        const std::size_t begin = at + length;
        const auto [next, nextLength] = NextStartCode(stream, begin);
        // A four-byte start code's leading zero is not the unit's; trailing zeros never are.
        std::size_t end = next;
        while (end > begin && stream[end - 1] == 0)
            --end;
        if (end > begin) units.push_back(stream.subspan(begin, end - begin));
        at = next;
        length = nextLength;
    }
    return units;
}

void AppendLengthPrefixed(std::vector<BYTE>& out, std::span<const BYTE> stream) {
    for (const auto unit : AnnexBUnits(stream)) {
        PutBigEndian(out, static_cast<std::uint32_t>(unit.size()), 4);
        out.insert(out.end(), unit.begin(), unit.end());
    }
}

std::vector<BYTE> AvcConfiguration(std::span<const BYTE> headers) {
    std::vector<std::span<const BYTE>> sequence, picture;
    for (const auto unit : AnnexBUnits(headers)) {
        if (unit.size() > kMaxSetBytes) continue;
        if (UnitType(unit) == kSequenceParameterSet && unit.size() >= 4 &&
            sequence.size() < kMaxSequenceSets)
            sequence.push_back(unit);
        else if (UnitType(unit) == kPictureParameterSet && picture.size() < kMaxPictureSets)
            picture.push_back(unit);
    }
    if (sequence.empty()) return {};
    const auto first = sequence.front();
    // Version 1, then the first sequence set's profile, its constraint flags and its level.
    std::vector<BYTE> record = {1,
                                first[1],
                                first[2],
                                first[3],
                                static_cast<BYTE>(0xFC | kLengthSizeMinusOne),
                                static_cast<BYTE>(0xE0 | sequence.size())};
    for (const auto unit : sequence) {
        PutBigEndian(record, static_cast<std::uint32_t>(unit.size()), 2);
        record.insert(record.end(), unit.begin(), unit.end());
    }
    record.push_back(static_cast<BYTE>(picture.size()));
    for (const auto unit : picture) {
        PutBigEndian(record, static_cast<std::uint32_t>(unit.size()), 2);
        record.insert(record.end(), unit.begin(), unit.end());
    }
    return record;
}

} // namespace hosting
