#include "hosting/live_output.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace hosting {

namespace {

using namespace std::chrono_literals;

// How long the outputs have, together, to finish once the show ends.
constexpr auto kFinishWait = 5s;
constexpr const char* kPreview = "preview";
constexpr const char* kSoundBitrate = "160k";
// x264's constant rate factor for files: more detail than streams, whose services cap the rate.
constexpr int kFileQuality = 21;

std::size_t QueuedPictures(double fps) {
    return static_cast<std::size_t>(std::ceil(fps * kQueuedSeconds));
}

std::vector<std::string> SoundEncoding(bool sound) {
    if (!sound) return {"-an"};
    return {"-c:a", "aac", "-b:a", kSoundBitrate};
}

} // namespace

bool RetriedOutput(const std::string& output) {
    for (const char* scheme : {"rtmp://", "rtmps://", "srt://", "udp://", "tcp://"})
        if (output.starts_with(scheme)) return true;
    return false;
}

bool EncodedOutput(const std::string& output) {
    return output != kPreview && !output.starts_with("/dev/video");
}

int OutputQuality(const std::string& output) {
    return EncodedOutput(output) && !RetriedOutput(output) ? kFileQuality : 0;
}

std::vector<std::string> OutputArguments(const std::string& output, bool sound) {
    if (output == kPreview) return {"-an", "-pix_fmt", "yuv420p", "-f", "sdl2", "askgame preview"};
    // A V4L2 loopback device (a virtual camera) takes raw pictures and no sound.
    if (output.starts_with("/dev/video"))
        return {"-an", "-c:v", "rawvideo", "-pix_fmt", "yuv420p", "-f", "v4l2", output};
    std::vector<std::string> args = {"-c:v", "copy"};
    const auto more = SoundEncoding(sound);
    args.insert(args.end(), more.begin(), more.end());
    if (output.starts_with("rtmp://") || output.starts_with("rtmps://")) {
        args.insert(args.end(), {"-f", "flv", output});
    } else if (RetriedOutput(output)) {
        args.insert(args.end(), {"-f", "mpegts", output});
    } else {
        // A file: its container follows the extension. A path that starts with '-' is a file.
        args.push_back(output.starts_with('-') ? "file:" + output : output);
    }
    return args;
}

std::vector<std::string> OutputChannelArguments(const std::string& output, bool sound) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error",
                                     "-y",     "-f",       "matroska",     "-i",        "pipe:0"};
    // Each raw picture keeps its own timestamp (a variable frame rate): where the show skipped
    // a late frame, the one before lasts longer, and the stream's length stays the wall time.
    // Encoded pictures are copied with their times as they are.
    if (!EncodedOutput(output)) argv.insert(argv.end(), {"-fps_mode", "vfr"});
    const auto more = OutputArguments(output, sound);
    argv.insert(argv.end(), more.begin(), more.end());
    return argv;
}

bool LiveOutput::Open(const std::vector<std::string>& outputs, bool preview,
                      const MediaLayout& layout, const EncoderSettings& encoder,
                      std::string& error) {
    if (outputs.empty() && !preview) {
        error = "no output";
        return false;
    }
    if (!KnownPreset(encoder.preset)) {
        error = encoder.preset + ": not an x264 preset (ultrafast to placebo)";
        return false;
    }
    layout_ = layout;
    layout_.h264Configuration.clear();
    input_ = EncoderInput(layout.width, layout.height);
    std::vector<std::string> all = outputs;
    if (preview) all.push_back(kPreview);
    for (const std::string& output : all) {
        if (EncodedOutput(output)) {
            if (!OpenEncoded(output, layout_, encoder, error)) return false;
            continue;
        }
        channels_.push_back(std::make_unique<OutputChannel>(
            output, OutputChannelArguments(output, layout.audioRate > 0), MatroskaHeader(layout_),
            RetriedOutput(output), QueuedPictures(layout.fps)));
        rawChannels_.push_back(channels_.back().get());
    }
    for (auto& channel : channels_) {
        allChannels_.push_back(channel.get());
        channel->Start();
    }
    return true;
}

// Joins `output` to the outputs of its encoding, starting that encoder when it is the first.
bool LiveOutput::OpenEncoded(const std::string& output, const MediaLayout& layout,
                             const EncoderSettings& encoder, std::string& error) {
    const H264Settings settings{layout.width, layout.height, layout.fps, encoder,
                                OutputQuality(output)};
    auto same = std::find_if(encoded_.begin(), encoded_.end(), [&](const auto& outputs) {
        return outputs->encoder->Quality() == settings.crf;
    });
    if (same == encoded_.end()) {
        encoded_.push_back(std::make_unique<EncodedOutputs>());
        same = std::prev(encoded_.end());
        (*same)->encoder = std::make_unique<H264Encoder>();
        // Every channel joins its group before the first picture comes: the list stays as it
        // is from then on, so the encoder's thread reads it unguarded.
        const auto* channels = &(*same)->channels;
        if (!(*same)->encoder->Open(
                settings,
                [channels](std::int64_t ms, bool key, std::span<const BYTE> units) {
                    Share(*channels, true, key, kVideoTrack, ms, units);
                },
                error))
            return false;
    }
    MediaLayout encodedLayout = layout;
    encodedLayout.h264Configuration = (*same)->encoder->Configuration();
    channels_.push_back(std::make_unique<OutputChannel>(
        output, OutputChannelArguments(output, layout.audioRate > 0), MatroskaHeader(encodedLayout),
        RetriedOutput(output), QueuedPictures(layout.fps)));
    (*same)->channels.push_back(channels_.back().get());
    return true;
}

void LiveOutput::Share(const std::vector<OutputChannel*>& channels, bool picture, bool key,
                       std::uint64_t track, std::int64_t ms, std::span<const BYTE> data) {
    if (channels.empty()) return;
    auto packet = std::make_shared<MediaPacket>();
    packet->picture = picture;
    packet->key = key;
    AppendMatroskaBlock(packet->bytes, track, ms, data, key);
    const SharedPacket shared = std::move(packet);
    for (OutputChannel* channel : channels)
        channel->Put(shared);
}

void LiveOutput::PutPicture(const Frame& frame, std::int64_t ms) {
    const auto bytes = input_.Bytes(frame);
    if (bytes.empty()) return;
    I420Picture picture{frame.width, frame.height, {bytes.begin(), bytes.end()}};
    PutPicture(picture, ms);
}

void LiveOutput::PutPicture(I420Picture& picture, std::int64_t ms) {
    if (picture.width != input_.Width() || picture.height != input_.Height() ||
        picture.bytes.size() != PackedI420Bytes(picture.width, picture.height))
        return;
    Share(rawChannels_, true, true, kVideoTrack, ms, picture.bytes);
    // The last encoder takes the picture itself; any other gets a copy first.
    for (std::size_t i = 0; i < encoded_.size(); ++i) {
        if (i + 1 < encoded_.size())
            encoded_[i]->encoder->Put(picture, ms);
        else
            encoded_[i]->encoder->Take(picture, ms);
    }
}

void LiveOutput::PutSound(std::int64_t ms, std::span<const BYTE> pcm) {
    if (layout_.audioRate > 0 && !pcm.empty())
        Share(allChannels_, false, true, kAudioTrack, ms, pcm);
}

bool LiveOutput::AllFailed() const {
    return std::all_of(channels_.begin(), channels_.end(),
                       [](const auto& channel) { return channel->FailedForGood(); });
}

std::vector<OutputHealth> LiveOutput::Health() const {
    std::vector<OutputHealth> health;
    for (const auto& channel : channels_) {
        health.push_back(channel->Health());
        // Pictures its encoder left out while it lagged are pictures this output lost.
        for (const auto& outputs : encoded_) {
            if (std::find(outputs->channels.begin(), outputs->channels.end(), channel.get()) ==
                outputs->channels.end())
                continue;
            health.back().dropped += outputs->encoder->Dropped();
            if (const std::string said = outputs->encoder->Error(); !said.empty())
                health.back().error = said;
        }
    }
    return health;
}

bool LiveOutput::Close(std::string& error) {
    // The encoders hand on the pictures they still hold before the outputs finish.
    for (const auto& outputs : encoded_)
        outputs->encoder->Close();
    const auto deadline = OutputChannel::Clock::now() + kFinishWait;
    for (auto& channel : channels_)
        channel->Finish(); // all finish at once
    bool ok = true;
    for (auto& channel : channels_)
        ok = channel->Close(deadline) && ok;
    for (const OutputHealth& health : Health())
        if (health.state != OutputHealth::State::Finished)
            error += (error.empty() ? "" : "; ") + health.name + ": " +
                     (health.error.empty() ? StateName(health.state) : health.error);
    return ok;
}

} // namespace hosting
