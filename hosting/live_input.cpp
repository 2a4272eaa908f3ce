#include "hosting/live_input.h"

#include <cstring>
#include <sys/stat.h>

namespace hosting {

namespace {

std::string RateText(double fps) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", fps);
    return text;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

std::vector<std::string> LiveInputArguments(const std::string& input, bool loop, int width,
                                            int height, double fps) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error"};
    if (input.starts_with("/dev/video")) {
        argv.insert(argv.end(), {"-f", "v4l2"});
    } else if (IsRegularFile(input)) {
        // A file plays at its own pace, as a camera would deliver it.
        argv.push_back("-re");
        if (loop) argv.insert(argv.end(), {"-stream_loop", "-1"});
    }
    // A path that starts with '-' is a file, not an option.
    const std::string named = input.starts_with('-') ? "file:" + input : input;
    argv.insert(argv.end(), {"-i", named, "-an", "-vf",
                             "scale=" + std::to_string(width) + ":" + std::to_string(height), "-r",
                             RateText(fps), "-f", "rawvideo", "-pix_fmt", "bgra", "pipe:1"});
    return argv;
}

LiveInput::~LiveInput() {
    // The reader sees the flag after the frame it waits for (a camera or a paced file sends
    // one every frame period); then the pipe closes and ffmpeg ends.
    ended_ = true;
    if (reader_.joinable()) reader_.join();
    ffmpeg_.Finish();
}

bool LiveInput::Open(const std::string& input, bool loop, int width, int height, double fps,
                     std::string& error) {
    const auto bytes = FrameBytes(width, height);
    if (!bytes) {
        error = "unusable frame size";
        return false;
    }
    if (!ffmpeg_.Start(LiveInputArguments(input, loop, width, height, fps),
                       Subprocess::Pipe::FromChild, error))
        return false;
    newest_.assign(*bytes, 0);
    reading_.assign(*bytes, 0);
    if (!ffmpeg_.ReadExactly(newest_.data(), newest_.size())) {
        ffmpeg_.Finish();
        const std::string said = ffmpeg_.ErrorText();
        error = input + ": not a readable video" + (said.empty() ? "" : " (ffmpeg: " + said + ")");
        return false;
    }
    reader_ = std::thread([this] { ReadLoop(); });
    return true;
}

void LiveInput::ReadLoop() {
    while (!ended_) {
        if (!ffmpeg_.ReadExactly(reading_.data(), reading_.size())) break;
        std::lock_guard lock(mutex_);
        newest_.swap(reading_);
    }
    ended_ = true;
}

bool LiveInput::Latest(Frame& frame) {
    std::lock_guard lock(mutex_);
    if (frame.pixels.size() != newest_.size()) return false;
    std::memcpy(frame.pixels.data(), newest_.data(), newest_.size());
    return !ended_;
}

} // namespace hosting
