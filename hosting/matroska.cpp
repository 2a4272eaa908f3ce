#include "hosting/matroska.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace hosting {

namespace {

// The element ids this subset writes or reads.
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
    kBlockGroup = 0xA0,
    kBlock = 0xA1,
};

constexpr std::uint64_t kMillisecondScale = 1000000; // nanoseconds a tick
constexpr std::uint64_t kMaxTimestampScale = 1000000000;
constexpr std::size_t kMaxTextBytes = 256;    // codec ids, colour spaces
constexpr std::size_t kMaxTracks = 16;        // ffmpeg writes one or two here
constexpr std::int64_t kMaxTicks = 1LL << 40; // beyond any show's length at any scale
constexpr std::size_t kBlockHeaderBytes = 4;  // a one-byte track number, time, flags
constexpr BYTE kKeyFrame = 0x80;
constexpr BYTE kLacingBits = 0x06;
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

MatroskaReader::MatroskaReader(Read read, std::size_t maxBlockBytes)
    : read_(std::move(read)), maxBlockBytes_(maxBlockBytes) {}

const MediaTrackInfo* MatroskaReader::Track(int type) const {
    for (const MediaTrackInfo& track : tracks_)
        if (track.type == type) return &track;
    return nullptr;
}

bool MatroskaReader::Fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
    return false;
}

// An EBML variable-length integer: the count of leading zero bits of its first byte says how
// many bytes follow. Ids keep their length marker; sizes drop it, and all ones is "unknown".
bool MatroskaReader::ReadVint(std::uint64_t& value, bool keepMarker, bool& unknown, int* bytes) {
    BYTE first = 0;
    if (!read_(&first, 1)) return false;
    if (first == 0) return Fail("a length field longer than 8 bytes");
    const int length = std::countl_zero(first) + 1;
    const BYTE marker = static_cast<BYTE>(0x80 >> (length - 1));
    value = keepMarker ? first : (first & (marker - 1));
    if (bytes) *bytes = length;
    bool allOnes = (first & (marker - 1)) == marker - 1;
    for (int i = 1; i < length; ++i) {
        BYTE next = 0;
        if (!read_(&next, 1)) return Fail("the stream ends inside a length field");
        value = (value << 8) | next;
        allOnes = allOnes && next == 0xFF;
    }
    unknown = !keepMarker && allOnes;
    return true;
}

bool MatroskaReader::ReadUnsigned(std::uint64_t size, std::uint64_t& value) {
    if (size > 8) return Fail("a number longer than 8 bytes");
    BYTE bytes[8] = {};
    if (size > 0 && !read_(bytes, size)) return Fail("the stream ends inside a number");
    value = 0;
    for (std::uint64_t i = 0; i < size; ++i)
        value = (value << 8) | bytes[i];
    return true;
}

bool MatroskaReader::ReadPayload(std::uint64_t size, std::string& text) {
    if (size > kMaxTextBytes) return Fail("a text field of " + std::to_string(size) + " bytes");
    text.assign(size, '\0');
    if (size > 0 && !read_(text.data(), size)) return Fail("the stream ends inside a field");
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return true;
}

bool MatroskaReader::Skip(std::uint64_t size) {
    char scratch[4096];
    while (size > 0) {
        const std::size_t piece = std::min<std::uint64_t>(size, sizeof scratch);
        if (!read_(scratch, piece)) return Fail("the stream ends inside an element");
        size -= piece;
    }
    return true;
}

bool MatroskaReader::TrackField(std::uint64_t id, std::uint64_t size) {
    MediaTrackInfo& track = tracks_.back();
    std::uint64_t number = 0;
    switch (id) {
    case kTrackNumber:
        return ReadUnsigned(size, track.number);
    case kTrackType:
        if (!ReadUnsigned(size, number)) return false;
        track.type = number <= 255 ? static_cast<int>(number) : 0;
        return true;
    case kCodecId:
        return ReadPayload(size, track.codec);
    case kColourSpace:
        return ReadPayload(size, track.colourSpace);
    case kPixelWidth:
        return ReadUnsigned(size, track.width);
    case kPixelHeight:
        return ReadUnsigned(size, track.height);
    case kChannels:
        return ReadUnsigned(size, track.channels);
    case kBitDepth:
        return ReadUnsigned(size, track.bitDepth);
    case kSamplingFrequency: {
        if (size != 4 && size != 8)
            return Fail("a sampling frequency of " + std::to_string(size) + " bytes");
        if (!ReadUnsigned(size, number)) return false;
        track.sampleRate = size == 4
                               ? double(std::bit_cast<float>(static_cast<std::uint32_t>(number)))
                               : std::bit_cast<double>(number);
        return true;
    }
    default:
        return Skip(size);
    }
}

bool MatroskaReader::ReadBlock(std::uint64_t size, MediaBlock& block) {
    std::uint64_t track = 0;
    bool unknown = false;
    int trackBytes = 0;
    if (!ReadVint(track, false, unknown, &trackBytes))
        return Fail("the stream ends inside a block");
    BYTE head[3]; // the time relative to the cluster's, then the flags
    if (size < std::uint64_t(trackBytes) + sizeof head)
        return Fail("a block shorter than its header");
    if (!read_(head, sizeof head)) return Fail("the stream ends inside a block");
    if (head[2] & kLacingBits) return Fail("a laced block");
    const std::uint64_t dataBytes = size - trackBytes - sizeof head;
    if (dataBytes > maxBlockBytes_)
        return Fail("a block of " + std::to_string(dataBytes) + " bytes (at most " +
                    std::to_string(maxBlockBytes_) + " expected)");
    const auto relative = static_cast<std::int16_t>((head[0] << 8) | head[1]);
    const std::int64_t ticks = clusterTime_ + relative;
    if (ticks > std::numeric_limits<std::int64_t>::max() / std::int64_t(timestampScale_))
        return Fail("a block time beyond any show's length");
    block.track = track;
    block.micros = ticks * static_cast<std::int64_t>(timestampScale_) / 1000;
    block.bytes.resize(static_cast<std::size_t>(dataBytes));
    if (dataBytes > 0 && !read_(block.bytes.data(), block.bytes.size()))
        return Fail("the stream ends inside a block");
    return true;
}

bool MatroskaReader::Next(MediaBlock& block) {
    for (;;) {
        std::uint64_t id = 0, size = 0;
        bool unknown = false;
        if (!error_.empty() || !ReadVint(id, true, unknown)) return false; // the end
        if (!ReadVint(size, false, unknown)) return Fail("the stream ends after an element id");
        switch (id) {
        // Containers are entered and their children read as they come; only the segment and
        // its clusters may be of unknown length (a stream being written).
        case kSegment:
        case kCluster:
            continue;
        case kInfo:
        case kTracks:
        case kVideo:
        case kAudio:
        case kBlockGroup:
            if (unknown) return Fail("an element of unknown length");
            continue;
        case kTrackEntry:
            if (unknown) return Fail("an element of unknown length");
            if (tracks_.size() >= kMaxTracks) return Fail("more than 16 tracks");
            tracks_.emplace_back();
            continue;
        default:
            break;
        }
        if (unknown) return Fail("an element of unknown length");
        bool read = true;
        std::uint64_t value = 0;
        switch (id) {
        case kTimestampScale:
            read = ReadUnsigned(size, value);
            if (read && (value == 0 || value > kMaxTimestampScale))
                return Fail("a timestamp scale of " + std::to_string(value) + " ns");
            timestampScale_ = value;
            break;
        case kTimestamp:
            read = ReadUnsigned(size, value);
            if (read && value > static_cast<std::uint64_t>(kMaxTicks))
                return Fail("a cluster time beyond any show's length");
            clusterTime_ = static_cast<std::int64_t>(value);
            break;
        case kSimpleBlock:
        case kBlock:
            return ReadBlock(size, block);
        case kTrackNumber:
        case kTrackType:
        case kCodecId:
        case kColourSpace:
        case kPixelWidth:
        case kPixelHeight:
        case kSamplingFrequency:
        case kChannels:
        case kBitDepth:
            read = tracks_.empty() ? Skip(size) : TrackField(id, size);
            break;
        default:
            read = Skip(size);
            break;
        }
        if (!read) return false;
    }
}

} // namespace hosting
