#include "hosting/matroska.h"

#include <bit>
#include <cmath>
#include <string_view>

namespace hosting {

namespace {

// The element ids this subset writes.
enum : std::uint32_t {
    kEbml = 0x1A45DFA3,
    kEbmlVersion = 0x4286,
    kEbmlReadVersion = 0x42F7,
    kEbmlMaxIdLength = 0x42F2,
    kEbmlMaxSizeLength = 0x42F3,
    kDocType = 0x4282,
    kDocTypeVersion = 0x4287,
    kDocTypeReadVersion = 0x4285,
    kSegment = 0x18538067,
    kInfo = 0x1549A966,
    kTimestampScale = 0x2AD7B1,
    kMuxingApp = 0x4D80,
    kWritingApp = 0x5741,
    kTracks = 0x1654AE6B,
    kTrackEntry = 0xAE,
    kTrackNumber = 0xD7,
    kTrackUid = 0x73C5,
    kTrackType = 0x83,
    kFlagLacing = 0x9C,
    kCodecId = 0x86,
    kCodecPrivate = 0x63A2,
    kDefaultDuration = 0x23E383,
    kVideo = 0xE0,
    kPixelWidth = 0xB0,
    kPixelHeight = 0xBA,
    kColourSpace = 0x2EB524,
    kAudio = 0xE1,
    kSamplingFrequency = 0xB5,
    kChannels = 0x9F,
    kBitDepth = 0x6264,
    kCluster = 0x1F43B675,
    kTimestamp = 0xE7,
    kSimpleBlock = 0xA3,
};

constexpr std::uint64_t kMillisecondScale = 1000000; // nanoseconds a tick
constexpr std::size_t kBlockHeaderBytes = 4;  // a one-byte track number, time, flags
constexpr BYTE kKeyFrame = 0x80;
constexpr const char* kAppName = "askgame";

using Bytes = std::vector<BYTE>;

void PutId(Bytes& out, std::uint32_t id) {
    const int bytes = id > 0xFFFFFF ? 4 : id > 0xFFFF ? 3 : id > 0xFF ? 2 : 1;
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<BYTE>(id >> (8 * i)));
}

// A size in the fewest bytes that hold it (all ones would mean "unknown").
void PutSize(Bytes& out, std::uint64_t size) {
    int bytes = 1;
    while (bytes < 8 && size >= (std::uint64_t{1} << (7 * bytes)) - 1)
        ++bytes;
    const std::uint64_t coded = size | (std::uint64_t{1} << (7 * bytes));
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<BYTE>(coded >> (8 * i)));
}

void PutElement(Bytes& out, std::uint32_t id, const Bytes& payload) {
    PutId(out, id);
    PutSize(out, payload.size());
    out.insert(out.end(), payload.begin(), payload.end());
}

void PutUnsigned(Bytes& out, std::uint32_t id, std::uint64_t value) {
    Bytes payload;
    int bytes = 1;
    while (bytes < 8 && (value >> (8 * bytes)) != 0)
        ++bytes;
    for (int i = bytes - 1; i >= 0; --i)
        payload.push_back(static_cast<BYTE>(value >> (8 * i)));
    PutElement(out, id, payload);
}

void PutText(Bytes& out, std::uint32_t id, std::string_view text) {
    PutElement(out, id, Bytes(text.begin(), text.end()));
}

void PutFloat(Bytes& out, std::uint32_t id, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    Bytes payload;
    for (int i = 7; i >= 0; --i)
        payload.push_back(static_cast<BYTE>(bits >> (8 * i)));
    PutElement(out, id, payload);
}

Bytes EbmlHeader() {
    Bytes fields;
    PutUnsigned(fields, kEbmlVersion, 1);
    PutUnsigned(fields, kEbmlReadVersion, 1);
    PutUnsigned(fields, kEbmlMaxIdLength, 4);
    PutUnsigned(fields, kEbmlMaxSizeLength, 8);
    PutText(fields, kDocType, "matroska");
    PutUnsigned(fields, kDocTypeVersion, 4);
    PutUnsigned(fields, kDocTypeReadVersion, 2);
    Bytes out;
    PutElement(out, kEbml, fields);
    return out;
}

// What every track entry starts with: its number (also its uid), type and codec, no lacing.
Bytes TrackEntry(std::uint64_t number, int type, std::string_view codec) {
    Bytes entry;
    PutUnsigned(entry, kTrackNumber, number);
    PutUnsigned(entry, kTrackUid, number);
    PutUnsigned(entry, kTrackType, static_cast<std::uint64_t>(type));
    PutUnsigned(entry, kFlagLacing, 0);
    PutText(entry, kCodecId, codec);
    return entry;
}

Bytes VideoTrack(const MediaLayout& layout) {
    Bytes picture;
    PutUnsigned(picture, kPixelWidth, static_cast<std::uint64_t>(layout.width));
    PutUnsigned(picture, kPixelHeight, static_cast<std::uint64_t>(layout.height));
    const bool h264 = !layout.h264Configuration.empty();
    if (!h264) PutText(picture, kColourSpace, "I420");
    Bytes entry =
        TrackEntry(kVideoTrack, kVideoTrackType, h264 ? "V_MPEG4/ISO/AVC" : "V_UNCOMPRESSED");
    if (h264) PutElement(entry, kCodecPrivate, layout.h264Configuration);
    // How long a frame lasts when the next one is not there to say: the last frame's length.
    PutUnsigned(entry, kDefaultDuration,
                static_cast<std::uint64_t>(std::llround(1e9 / layout.fps)));
    PutElement(entry, kVideo, picture);
    return entry;
}

Bytes AudioTrack(const MediaLayout& layout) {
    Bytes sound;
    PutFloat(sound, kSamplingFrequency, layout.audioRate);
    PutUnsigned(sound, kChannels, static_cast<std::uint64_t>(layout.audioChannels));
    PutUnsigned(sound, kBitDepth, 16);
    Bytes entry = TrackEntry(kAudioTrack, kAudioTrackType, "A_PCM/INT/LIT");
    PutElement(entry, kAudio, sound);
    return entry;
}

} // namespace

std::vector<BYTE> MatroskaHeader(const MediaLayout& layout) {
    Bytes out = EbmlHeader();
    PutId(out, kSegment);
    const BYTE unknownSize[] = {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    out.insert(out.end(), std::begin(unknownSize), std::end(unknownSize));
    Bytes info;
    PutUnsigned(info, kTimestampScale, kMillisecondScale);
    PutText(info, kMuxingApp, kAppName);
    PutText(info, kWritingApp, kAppName);
    PutElement(out, kInfo, info);
    Bytes tracks;
    PutElement(tracks, kTrackEntry, VideoTrack(layout));
    if (layout.audioRate > 0) PutElement(tracks, kTrackEntry, AudioTrack(layout));
    PutElement(out, kTracks, tracks);
    return out;
}

void AppendMatroskaBlock(std::vector<BYTE>& out, std::uint64_t track, std::int64_t ms,
                         std::span<const BYTE> data, bool key) {
    Bytes time;
    PutUnsigned(time, kTimestamp, static_cast<std::uint64_t>(std::max<std::int64_t>(ms, 0)));
    PutId(out, kCluster);
    const std::size_t blockBytes = kBlockHeaderBytes + data.size();
    // The block's id and size take at most 1 + 8 bytes.
    Bytes blockHead;
    PutId(blockHead, kSimpleBlock);
    PutSize(blockHead, blockBytes);
    PutSize(out, time.size() + blockHead.size() + blockBytes);
    out.insert(out.end(), time.begin(), time.end());
    out.insert(out.end(), blockHead.begin(), blockHead.end());
    out.push_back(static_cast<BYTE>(0x80 | track)); // tracks 1 and 2: one-byte numbers
    out.push_back(0);                               // the block is at its cluster's time
    out.push_back(0);
    out.push_back(key ? kKeyFrame : 0);
    out.insert(out.end(), data.begin(), data.end());
}

} // namespace hosting
