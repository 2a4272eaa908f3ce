#include "hosting/live_output.h"

#include <algorithm>
#include <cstdio>

namespace hosting {

namespace {

// What a streaming service or OBS's media source takes without buffering long: H.264 with a
// key frame every two seconds and no B-frames.
std::vector<std::string> StreamEncoding(const EncoderSettings& encoder) {
    auto args = X264Arguments(encoder);
    args.insert(args.end(), {"-g", "60", "-bf", "0", "-pix_fmt", "yuv420p"});
    return args;
}

std::string RateText(double fps) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", fps);
    return text;
}

} // namespace

std::vector<std::string> OutputArguments(const std::string& output,
                                         const EncoderSettings& encoder) {
    std::vector<std::string> args;
    auto add = [&args](std::initializer_list<std::string> more) {
        args.insert(args.end(), more.begin(), more.end());
    };
    if (output.starts_with("/dev/video")) {
        // A V4L2 loopback device (a virtual camera) takes raw pictures.
        add({"-c:v", "rawvideo", "-pix_fmt", "yuv420p", "-f", "v4l2", output});
        return args;
    }
    args = StreamEncoding(encoder);
    if (output.starts_with("rtmp://") || output.starts_with("rtmps://")) {
        add({"-f", "flv", output});
    } else if (output.starts_with("srt://") || output.starts_with("udp://") ||
               output.starts_with("tcp://")) {
        add({"-f", "mpegts", output});
    } else {
        // A file: its container follows the extension. A path that starts with '-' is a file.
        add({"-crf", "21", output.starts_with('-') ? "file:" + output : output});
    }
    return args;
}

std::vector<std::string> LiveOutputArguments(const std::vector<std::string>& outputs, bool preview,
                                             int width, int height, double fps,
                                             const EncoderSettings& encoder) {
    std::vector<std::string> argv = {
        "ffmpeg",       "-nostdin",
        "-hide_banner", "-loglevel",
        "error",        "-y",
        "-f",           "rawvideo",
        "-pix_fmt",     EncoderInput::PixelFormat(),
        "-s",           std::to_string(width) + "x" + std::to_string(height),
        "-r",           RateText(fps),
        "-i",           "pipe:0",
        "-an"};
    for (const std::string& output : outputs) {
        const auto more = OutputArguments(output, encoder);
        argv.insert(argv.end(), more.begin(), more.end());
    }
    if (preview) argv.insert(argv.end(), {"-pix_fmt", "yuv420p", "-f", "sdl2", "askgame preview"});
    return argv;
}

bool LiveOutput::Open(const std::vector<std::string>& outputs, bool preview, int width, int height,
                      double fps, const EncoderSettings& encoder, std::string& error) {
    if (outputs.empty() && !preview) {
        error = "no output";
        return false;
    }
    if (!KnownPreset(encoder.preset)) {
        error = encoder.preset + ": not an x264 preset (ultrafast to placebo)";
        return false;
    }
    input_ = EncoderInput(width, height);
    open_ = ffmpeg_.Start(LiveOutputArguments(outputs, preview, width, height, fps, encoder),
                          Subprocess::Pipe::ToChild, error);
    return open_;
}

bool LiveOutput::Put(const Frame& frame) {
    if (failed_) return false;
    const auto bytes = input_.Bytes(frame);
    misfit_ = bytes.empty();
    failed_ = misfit_ || !ffmpeg_.Write(bytes.data(), bytes.size());
    return !failed_;
}

bool LiveOutput::Close(std::string& error) {
    if (!open_) return true;
    open_ = false;
    const int status = ffmpeg_.Finish();
    if (status == 0 && !failed_) return true;
    if (misfit_) {
        error = "a frame's size differs from the show's";
        return false;
    }
    const std::string said = ffmpeg_.ErrorText();
    error = "ffmpeg could not finish the outputs" + (said.empty() ? "" : ": " + said);
    return false;
}

} // namespace hosting
