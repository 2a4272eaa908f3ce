// The live host's media pipes speak a small subset of Matroska: raw I420 or H.264 pictures and
// 16-bit PCM sound, each block stamped with its time. A timestamp on every block is what lets the
// host leave a late frame out without shortening the stream, and carry an input's sound in
// step with its pictures. The writer makes the streams the outputs' ffmpeg read from a pipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
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

} // namespace hosting
