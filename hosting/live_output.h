// Where a live show goes: every output (files, RTMP or SRT URLs, V4L2 loopback devices, a
// preview window) has an ffmpeg and a channel of its own, fed one stream of timestamped
// pictures and sound, so one that fails or lags leaves the others be. Files and network
// streams take H.264, encoded here once for all that share an encoding, and their ffmpeg only
// encodes the sound and writes the container; a device and the preview take raw pictures.
// A block is made once and shared by every output it goes to.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "hosting/encoder_input.h"
#include "hosting/frame.h"
#include "hosting/frame_io.h"
#include "hosting/h264_encoder.h"
#include "hosting/matroska.h"
#include "hosting/output_channel.h"
#include "hosting/picture.h"

namespace hosting {

class LiveOutput {
public:
    // Starts a channel for each of `outputs` (at least one, or `preview`), taking pictures and,
    // where `layout` has sound, sound.
    bool Open(const std::vector<std::string>& outputs, bool preview, const MediaLayout& layout,
              const EncoderSettings& encoder, std::string& error);
    // A drawn frame at `ms` from the show's start.
    void PutPicture(const Frame& frame, std::int64_t ms);
    // A drawn picture in the encoder's own format: nothing is converted, and its bytes may be
    // exchanged for others of the same size, whose contents are left unspecified (an encoder
    // takes the picture itself). One of another size than the outputs' is dropped.
    void PutPicture(I420Picture& picture, std::int64_t ms);
    // Sound at `ms` from the show's start (interleaved 16-bit PCM of the layout's channels).
    void PutSound(std::int64_t ms, std::span<const BYTE> pcm);
    // True once every output has failed for good: the show has nowhere left to go.
    bool AllFailed() const;
    std::vector<OutputHealth> Health() const;
    // Ends every output, together, within a few seconds; false, with what failed, when any
    // output did.
    bool Close(std::string& error);

private:
    // The outputs that take one encoding, and its encoder.
    struct EncodedOutputs {
        std::unique_ptr<H264Encoder> encoder;
        std::vector<OutputChannel*> channels;
    };

    bool OpenEncoded(const std::string& output, const MediaLayout& layout,
                     const EncoderSettings& encoder, std::string& error);
    static void Share(const std::vector<OutputChannel*>& channels, bool picture, bool key,
                      std::uint64_t track, std::int64_t ms, std::span<const BYTE> data);

    std::vector<std::unique_ptr<OutputChannel>> channels_;
    std::vector<OutputChannel*> rawChannels_; // taking raw pictures
    std::vector<OutputChannel*> allChannels_;
    std::vector<std::unique_ptr<EncodedOutputs>> encoded_;
    EncoderInput input_;
    MediaLayout layout_;
};

// True for outputs that take the show's H.264 (files and network streams); the preview and
// devices take raw pictures.
bool EncodedOutput(const std::string& output);
// x264's constant rate factor for an output: files keep more detail than streams, whose
// services cap the rate; 0: x264's default.
int OutputQuality(const std::string& output);
// The ffmpeg arguments for one output: its format, then the output itself. Encoded outputs
// copy the pictures as they come. `sound`: the stream it reads carries sound, which goes on
// as AAC where the output can carry it.
std::vector<std::string> OutputArguments(const std::string& output, bool sound = false);
// The whole ffmpeg command line of one output's channel.
std::vector<std::string> OutputChannelArguments(const std::string& output, bool sound);
// True for outputs a channel starts again when they fail: network streams.
bool RetriedOutput(const std::string& output);

} // namespace hosting
