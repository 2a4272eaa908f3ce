#include "hosting/frame_io.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <sys/stat.h>

namespace hosting {

namespace {

constexpr const char* kX264Presets[] = {"ultrafast", "superfast", "veryfast", "faster",
                                        "fast",      "medium",    "slow",     "slower",
                                        "veryslow",  "placebo"};

std::string Size(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string Rate(double fps) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", fps);
    return text;
}

} // namespace

bool TestCardSource::Next(Frame& frame) {
    card_.Draw(index_++, frame);
    return true;
}

bool FfmpegReader::Open(const std::string& path, int width, int height, double fps,
                        std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = path + ": no such video file";
        return false;
    }
    if (!FfmpegAvailable()) {
        error = "ffmpeg is not installed, so " + path + " cannot be read";
        return false;
    }
    const std::vector<std::string> argv = {
        "ffmpeg",       "-nostdin",
        "-hide_banner", "-loglevel",
        "error",        "-i",
        path,           "-an",
        "-vf",          "scale=" + std::to_string(width) + ":" + std::to_string(height),
        "-r",           Rate(fps),
        "-f",           "rawvideo",
        "-pix_fmt",     "bgra",
        "pipe:1"};
    if (!ffmpeg_.Start(argv, Subprocess::Pipe::FromChild, error)) return false;
    auto frame = MakeFrame(width, height);
    if (!frame || !ffmpeg_.ReadExactly(frame->pixels.data(), frame->pixels.size())) {
        ffmpeg_.Finish();
        const std::string said = ffmpeg_.ErrorText();
        error = path + ": not a readable video" + (said.empty() ? "" : " (ffmpeg: " + said + ")");
        return false;
    }
    first_ = std::move(*frame);
    haveFirst_ = true;
    return true;
}

bool FfmpegReader::Next(Frame& frame) {
    if (haveFirst_) {
        haveFirst_ = false;
        if (frame.pixels.size() != first_.pixels.size()) return false;
        frame.pixels = first_.pixels;
        return true;
    }
    return ffmpeg_.ReadExactly(frame.pixels.data(), frame.pixels.size());
}

bool KnownPreset(const std::string& preset) {
    return std::find(std::begin(kX264Presets), std::end(kX264Presets), preset) !=
           std::end(kX264Presets);
}

std::vector<std::string> X264Arguments(const EncoderSettings& settings) {
    // Zero-latency tuning: no lookahead, no B-frames, so no frame waits on later ones. Its
    // sliced threads are turned back into frame threads: slices keep the delay to one frame but
    // leave the cores idle between them (about 70 1080p frames a second with ultrafast on two
    // cores, against 180), while frame threads add a frame of delay per thread, tens of
    // milliseconds, nothing next to a stream's seconds of buffering.
    return {"-c:v",         "libx264",
            "-preset",      settings.preset,
            "-tune",        "zerolatency",
            "-x264-params", "sliced-threads=0",
            "-threads",     std::to_string(std::max(0, settings.threads))};
}

bool FfmpegWriter::Open(const std::string& path, int width, int height, double fps,
                        std::string& error, const EncoderSettings& settings) {
    path_ = path;
    if (!KnownPreset(settings.preset)) {
        error = settings.preset + ": not an x264 preset (ultrafast to placebo)";
        return false;
    }
    std::vector<std::string> argv = {"ffmpeg",       "-nostdin",
                                     "-hide_banner", "-loglevel",
                                     "error",        "-y",
                                     "-f",           "rawvideo",
                                     "-pix_fmt",     EncoderInput::PixelFormat(),
                                     "-s",           Size(width, height),
                                     "-r",           Rate(fps),
                                     "-i",           "pipe:0",
                                     "-an"};
    const auto x264 = X264Arguments(settings);
    argv.insert(argv.end(), x264.begin(), x264.end());
    argv.insert(argv.end(), {"-crf", "21", "-pix_fmt", "yuv420p", "-movflags", "+faststart", path});
    input_ = EncoderInput(width, height);
    return ffmpeg_.Start(argv, Subprocess::Pipe::ToChild, error);
}

bool FfmpegWriter::Put(const Frame& frame) {
    if (failed_) return false;
    const auto bytes = input_.Bytes(frame);
    misfit_ = bytes.empty();
    failed_ = misfit_ || !ffmpeg_.Write(bytes.data(), bytes.size());
    return !failed_;
}

bool FfmpegWriter::Close(std::string& error) {
    const int status = ffmpeg_.Finish();
    if (status == 0 && !failed_) return true;
    if (misfit_) {
        error = path_ + ": a frame's size differs from the video's";
        return false;
    }
    const std::string said = ffmpeg_.ErrorText();
    error = "ffmpeg could not write " + path_ + (said.empty() ? "" : ": " + said);
    return false;
}

bool FfmpegAvailable() {
    return ProgramAvailable("ffmpeg");
}

bool MakeFolders(const std::string& path, std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code || !std::filesystem::is_directory(path, code)) {
        error = path + ": cannot create the folder" + (code ? ": " + code.message() : "");
        return false;
    }
    return true;
}

} // namespace hosting
