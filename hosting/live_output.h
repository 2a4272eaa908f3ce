// Where a live show goes: one ffmpeg that takes the drawn frames on its input and feeds
// every output at once (files, RTMP or SRT URLs, V4L2 loopback devices, a preview window),
// each with the encoding its kind needs.
#pragma once

#include <string>
#include <vector>

#include "hosting/encoder_input.h"
#include "hosting/frame.h"
#include "hosting/frame_io.h"
#include "hosting/subprocess.h"

namespace hosting {

class LiveOutput {
public:
    // Starts ffmpeg for `outputs` (at least one, or `preview`).
    bool Open(const std::vector<std::string>& outputs, bool preview, int width, int height,
              double fps, const EncoderSettings& encoder, std::string& error);
    // False once ffmpeg has gone (an output failed).
    bool Put(const Frame& frame);
    // Ends the input, so every output is finished (a file's index written); false, with the
    // reason, when ffmpeg failed.
    bool Close(std::string& error);

private:
    Subprocess ffmpeg_;
    EncoderInput input_;
    bool misfit_ = false; // a frame of another size was refused
    bool failed_ = false;
    bool open_ = false;
};

// The ffmpeg arguments for one output: its format and encoding, then the output itself.
std::vector<std::string> OutputArguments(const std::string& output,
                                         const EncoderSettings& encoder = {});
// The whole ffmpeg command line.
std::vector<std::string> LiveOutputArguments(const std::vector<std::string>& outputs, bool preview,
                                             int width, int height, double fps,
                                             const EncoderSettings& encoder = {});

} // namespace hosting
