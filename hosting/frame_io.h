// Where frames come from (the test card, or any video ffmpeg can read) and where they go (a
// video ffmpeg encodes; a folder of PNG frames is in png_sequence.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hosting/encoder_input.h"
#include "hosting/frame.h"
#include "hosting/subprocess.h"
#include "hosting/test_card.h"

namespace hosting {

class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Fills `frame` (of the source's size) with the next picture; false at the end.
    virtual bool Next(Frame& frame) = 0;
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Takes one top-down frame; false when it could not be written.
    virtual bool Put(const Frame& frame) = 0;
    // Completes the output; false, with the reason in `error`, when it is not usable.
    virtual bool Close(std::string& error) = 0;
    // The file or folder written.
    virtual std::string Where() const = 0;
};

class TestCardSource final : public FrameSource {
public:
    TestCardSource(int width, int height) : card_(width, height) {}
    bool Next(Frame& frame) override;

private:
    TestCard card_;
    long index_ = 0;
};

// Decodes a video to BGRA through ffmpeg, scaled to the frame size and resampled to the rate.
class FfmpegReader final : public FrameSource {
public:
    // False, with the reason in `error`, when the video cannot be read (ffmpeg missing, the
    // file missing or not a video): the first frame is read here to find out.
    bool Open(const std::string& path, int width, int height, double fps, std::string& error);
    bool Next(Frame& frame) override;

private:
    Subprocess ffmpeg_;
    Frame first_;
    bool haveFirst_ = false;
};

// How x264 encodes: tuned for live output (no lookahead, no B-frames), on every core by default.
struct EncoderSettings {
    std::string preset = "veryfast"; // one of x264's presets, ultrafast to placebo
    int threads = 0;                 // 0: as many as ffmpeg finds cores for
};

// ffmpeg's arguments for x264 encoding live with these settings.
std::vector<std::string> X264Arguments(const EncoderSettings& settings);

// True for a preset name x264 knows.
bool KnownPreset(const std::string& preset);

// Encodes the host's frames to H.264 (yuv420p) through ffmpeg.
class FfmpegWriter final : public FrameSink {
public:
    bool Open(const std::string& path, int width, int height, double fps, std::string& error,
              const EncoderSettings& settings = {});
    bool Put(const Frame& frame) override;
    bool Close(std::string& error) override;
    std::string Where() const override { return path_; }

private:
    Subprocess ffmpeg_;
    EncoderInput input_;
    bool misfit_ = false; // a frame of another size was refused
    std::string path_;
    bool failed_ = false;
};

bool FfmpegAvailable();
// Creates the folder and its parents; false when that fails.
bool MakeFolders(const std::string& path, std::string& error);

} // namespace hosting
