// H.264 as Matroska and MP4 carry it. An encoder writes its stream as an Annex B byte stream:
// NAL units after start codes (00 00 01 or 00 00 00 01), parameter sets in-band. Matroska
// wants each unit after its length instead, and the parameter sets once, in the track's
// decoder configuration record ("avcC").
#pragma once

#include <span>
#include <vector>

#include "platform/wintypes.h"

namespace hosting {

// The NAL units of an Annex B stream, without their start codes; empty units are left out.
std::vector<std::span<const BYTE>> AnnexBUnits(std::span<const BYTE> stream);

// Appends each NAL unit of `stream` to `out` after its length in four big-endian bytes.
void AppendLengthPrefixed(std::vector<BYTE>& out, std::span<const BYTE> stream);

// The decoder configuration record for the sequence and picture parameter sets in `headers`
// (Annex B, as an encoder gives them); empty when there is no usable sequence parameter set.
std::vector<BYTE> AvcConfiguration(std::span<const BYTE> headers);

} // namespace hosting
