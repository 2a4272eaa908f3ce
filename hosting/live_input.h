// A live picture source through ffmpeg: a camera, a file (played at its own pace, optionally
// looped) or a network stream, decoded to BGRA at the show's size and rate. A thread of its own
// reads every frame as it comes and keeps only the newest, so a slow show never falls behind
// the camera and nothing piles up.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hosting/frame.h"
#include "hosting/subprocess.h"

namespace hosting {

class LiveInput {
public:
    LiveInput() = default;
    LiveInput(const LiveInput&) = delete;
    LiveInput& operator=(const LiveInput&) = delete;
    ~LiveInput();

    // Starts ffmpeg on `input` and waits for its first frame. False, with the reason, when it
    // cannot be read.
    bool Open(const std::string& input, bool loop, int width, int height, double fps,
              std::string& error);
    // Copies the newest frame into `frame` (of the show's size). False once the input ended.
    bool Latest(Frame& frame);
    // What ffmpeg said when the input ended early.
    std::string EndReason() const { return ffmpeg_.ErrorText(); }

private:
    void ReadLoop();

    Subprocess ffmpeg_;
    std::mutex mutex_;
    std::vector<BYTE> newest_;
    std::vector<BYTE> reading_; // reader thread only
    std::atomic<bool> ended_{false};
    std::thread reader_;
};

// The ffmpeg arguments that read `input` as rawvideo BGRA on stdout.
std::vector<std::string> LiveInputArguments(const std::string& input, bool loop, int width,
                                            int height, double fps);

} // namespace hosting
