#include "hosting/live_output.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace hosting {

namespace {

using namespace std::chrono_literals;

// How long the outputs have, together, to finish once the show ends.
constexpr auto kFinishWait = 5s;
// How much of the show may wait for a lagging encoder before its oldest pictures go.
constexpr double kQueuedSeconds = 0.5;
constexpr const char* kPreview = "preview";
constexpr const char* kSoundBitrate = "160k";

// What a streaming service or OBS's media source takes without buffering long: H.264 with a
// key frame every two seconds and no B-frames.
std::vector<std::string> StreamEncoding(const EncoderSettings& encoder) {
    auto args = X264Arguments(encoder);
    args.insert(args.end(), {"-g", "60", "-bf", "0", "-pix_fmt", "yuv420p"});
    return args;
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

std::vector<std::string> OutputArguments(const std::string& output, const EncoderSettings& encoder,
                                         bool sound) {
    std::vector<std::string> args;
    auto add = [&args](const std::vector<std::string>& more) {
        args.insert(args.end(), more.begin(), more.end());
    };
    if (output == kPreview) {
        add({"-an", "-pix_fmt", "yuv420p", "-f", "sdl2", "askgame preview"});
        return args;
    }
    if (output.starts_with("/dev/video")) {
        // A V4L2 loopback device (a virtual camera) takes raw pictures and no sound.
        add({"-an", "-c:v", "rawvideo", "-pix_fmt", "yuv420p", "-f", "v4l2", output});
        return args;
    }
    args = StreamEncoding(encoder);
    add(SoundEncoding(sound));
    if (output.starts_with("rtmp://") || output.starts_with("rtmps://")) {
        add({"-f", "flv", output});
    } else if (RetriedOutput(output)) {
        add({"-f", "mpegts", output});
    } else {
        // A file: its container follows the extension. A path that starts with '-' is a file.
        add({"-crf", "21", output.starts_with('-') ? "file:" + output : output});
    }
    return args;
}

std::vector<std::string> OutputChannelArguments(const std::string& output,
                                                const EncoderSettings& encoder, bool sound) {
    // Each picture keeps its own timestamp (a variable frame rate): where the show skipped a
    // late frame, the one before lasts longer, and the stream's length stays the wall time.
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel",
                                     "error",  "-y",       "-f",           "matroska",
                                     "-i",     "pipe:0",   "-fps_mode",    "vfr"};
    const auto more = OutputArguments(output, encoder, sound);
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
    input_ = EncoderInput(layout.width, layout.height);
    const auto header = MatroskaHeader(layout);
    const auto queued = static_cast<std::size_t>(std::ceil(layout.fps * kQueuedSeconds));
    std::vector<std::string> all = outputs;
    if (preview) all.push_back(kPreview);
    for (const std::string& output : all)
        channels_.push_back(std::make_unique<OutputChannel>(
            output, OutputChannelArguments(output, encoder, layout.audioRate > 0), header,
            RetriedOutput(output), queued));
    for (auto& channel : channels_)
        channel->Start();
    return true;
}

void LiveOutput::PutEverywhere(bool picture, std::uint64_t track, std::int64_t ms,
                               std::span<const BYTE> data) {
    auto packet = std::make_shared<MediaPacket>();
    packet->picture = picture;
    AppendMatroskaBlock(packet->bytes, track, ms, data);
    const SharedPacket shared = std::move(packet);
    for (auto& channel : channels_)
        channel->Put(shared);
}

void LiveOutput::PutPicture(const Frame& frame, std::int64_t ms) {
    const auto bytes = input_.Bytes(frame);
    if (!bytes.empty()) PutEverywhere(true, kVideoTrack, ms, bytes);
}

void LiveOutput::PutPicture(const I420Picture& picture, std::int64_t ms) {
    if (picture.width != input_.Width() || picture.height != input_.Height() ||
        picture.bytes.size() != PackedI420Bytes(picture.width, picture.height))
        return;
    PutEverywhere(true, kVideoTrack, ms, picture.bytes);
}

void LiveOutput::PutSound(std::int64_t ms, std::span<const BYTE> pcm) {
    if (layout_.audioRate > 0 && !pcm.empty()) PutEverywhere(false, kAudioTrack, ms, pcm);
}

bool LiveOutput::AllFailed() const {
    return std::all_of(channels_.begin(), channels_.end(),
                       [](const auto& channel) { return channel->FailedForGood(); });
}

std::vector<OutputHealth> LiveOutput::Health() const {
    std::vector<OutputHealth> health;
    for (const auto& channel : channels_)
        health.push_back(channel->Health());
    return health;
}

bool LiveOutput::Close(std::string& error) {
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
