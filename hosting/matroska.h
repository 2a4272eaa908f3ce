// The live host's media pipes speak a small subset of Matroska: raw I420 or H.264 pictures and
// 16-bit PCM sound, each block stamped with its time. A timestamp on every block is what lets the
// host leave a late frame out without shortening the stream, and carry an input's sound in
// step with its pictures. The writer makes streams ffmpeg reads from a pipe; the reader takes
// what ffmpeg writes there (`-f matroska`), and trusts none of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/wintypes.h"

namespace hosting {

// The track numbers the writer gives, and Matroska's track types.
inline constexpr std::uint64_t kVideoTrack = 1;
inline constexpr std::uint64_t kAudioTrack = 2;
inline constexpr int kVideoTrackType = 1;
inline constexpr int kAudioTrackType = 2;

// What a written stream carries: pictures of one size and rate, and sound when `audioRate`
// is set.
struct MediaLayout {
    int width = 0;
    int height = 0;
    double fps = 30;
    int audioRate = 0; // samples a second; 0: no sound track
    int audioChannels = 2;
    // Pictures encoded as H.264, with this decoder configuration record (length-prefixed NAL
    // units in each block); empty: raw I420 pictures.
    std::vector<BYTE> h264Configuration;
};

// The stream's start: the EBML header, a segment of unknown length and the tracks.
std::vector<BYTE> MatroskaHeader(const MediaLayout& layout);
// One block of `track` at `ms` milliseconds, in a cluster of its own, appended to `out`.
// `key`: a decoder can start at this block (every raw picture and sound block can).
void AppendMatroskaBlock(std::vector<BYTE>& out, std::uint64_t track, std::int64_t ms,
                         std::span<const BYTE> data, bool key = true);

struct MediaTrackInfo {
    std::uint64_t number = 0;
    int type = 0; // kVideoTrackType, kAudioTrackType
    std::string codec;
    std::string colourSpace; // the four-character code of raw pictures
    std::uint64_t width = 0, height = 0;
    double sampleRate = 0;
    std::uint64_t channels = 0, bitDepth = 0;
};

struct MediaBlock {
    std::uint64_t track = 0;
    std::int64_t micros = 0; // the block's time in microseconds
    std::vector<BYTE> bytes;
};

// Reads a Matroska stream block by block through `read`, which fills exactly the bytes asked
// for or answers false at the end. Blocks larger than `maxBlockBytes`, laced blocks, times
// beyond any show's length and unknown sizes outside the segment and its clusters end the
// stream with an error. Elements it does not use are read past, whatever their size.
class MatroskaReader {
public:
    using Read = std::function<bool(void* data, std::size_t size)>;

    MatroskaReader(Read read, std::size_t maxBlockBytes);

    // The next block, into `block` (its storage reused). False at the end of the stream or on
    // an error (then Error() says what).
    bool Next(MediaBlock& block);
    // The tracks read so far: all of them once the first block has come.
    const std::vector<MediaTrackInfo>& Tracks() const { return tracks_; }
    const MediaTrackInfo* Track(int type) const;
    const std::string& Error() const { return error_; }

private:
    bool ReadVint(std::uint64_t& value, bool keepMarker, bool& unknown, int* bytes = nullptr);
    bool ReadUnsigned(std::uint64_t size, std::uint64_t& value);
    bool ReadPayload(std::uint64_t size, std::string& text);
    bool Skip(std::uint64_t size);
    bool ReadBlock(std::uint64_t size, MediaBlock& block);
    bool TrackField(std::uint64_t id, std::uint64_t size);
    bool Fail(std::string why);

    Read read_;
    std::size_t maxBlockBytes_;
    std::vector<MediaTrackInfo> tracks_;
    std::uint64_t timestampScale_ = 1000000; // nanoseconds a tick
    std::int64_t clusterTime_ = 0;
    std::string error_;
};

} // namespace hosting
