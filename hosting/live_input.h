// A live picture and sound source through ffmpeg: a camera, a file (played at its own pace,
// optionally looped), a network stream or a FIFO, with the input's sound or a microphone's.
// ffmpeg passes the pictures on as they are coded and the sound as 48 kHz PCM; a thread of its
// own decodes every picture as it comes, at the show's size, keeps only the newest, so a slow
// show never falls behind the camera, and passes sound on stamped with the wall-clock moment
// it belongs to. Starting never waits for the input: one that
// sends nothing is found out by the age of its newest picture.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "hosting/frame.h"
#include "hosting/input_decoder.h"
#include "hosting/media_clock.h"
#include "hosting/picture.h"
#include "hosting/subprocess.h"

namespace hosting {

inline constexpr int kAudioRate = 48000;
inline constexpr int kAudioChannels = 2;
inline constexpr int kAudioFrameBytes = kAudioChannels * 2; // 16-bit samples

struct LiveInputSettings {
    std::string input; // empty: no pictures, only the sound of `audioDevice`
    bool loop = false;
    int width = 0;
    int height = 0;
    double fps = 30;
    std::string audioDevice; // "pulse:SOURCE", "alsa:DEVICE" or an ALSA device name
    bool audio = true;       // false: no sound is read at all
    bool reopen = false;     // when it ends or fails, start it again (with back-off)
};

class LiveInput {
public:
    using Clock = std::chrono::steady_clock;
    // Sound as it comes: 16-bit interleaved stereo PCM, and the wall-clock moment its first
    // sample belongs to. Called on the input's thread.
    using SoundSink = std::function<void(Clock::time_point at, std::span<const BYTE> pcm)>;

    LiveInput() = default;
    LiveInput(const LiveInput&) = delete;
    LiveInput& operator=(const LiveInput&) = delete;
    // Stop().
    ~LiveInput();

    // Starts reading. False, with the reason, only when ffmpeg cannot be started at all.
    bool Start(const LiveInputSettings& settings, SoundSink sound, std::string& error);
    // Ends ffmpeg at once (nothing of an input needs finishing) and waits for the thread.
    void Stop();

    // Waits until the first picture came, the input ended or `timeout` passed, checking `stop`.
    // True when a picture came.
    bool WaitForFirstPicture(Clock::duration timeout, const std::atomic<bool>& stop);
    // The newest picture into `picture`, at its size; false before the first. One thread at a
    // time.
    bool Latest(I420Picture& picture);
    // True until the first picture came.
    bool Waiting() const;
    // When the newest picture came; the start when none has.
    Clock::time_point LastPictureAt() const;
    // True once the input ended for good (it is not reopened): then Finished() tells a file
    // played to its end from a failure, and Reason() says what ffmpeg said.
    bool Ended() const { return ended_; }
    bool Finished() const { return finished_; }
    std::string Reason() const;
    // True once the input was seen to carry a sound track.
    bool HasSound() const { return hasSound_; }

private:
    void Run();
    // One ffmpeg run, to the end of its output; false when it failed.
    bool ReadOnce();
    void TakePicture(std::int64_t micros, DecodedPicture picture);
    void TakeSound(std::int64_t micros, std::span<const BYTE> pcm);

    LiveInputSettings settings_;
    SoundSink sound_;
    Subprocess ffmpeg_;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> hasSound_{false};

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    DecodedPicture newest_;
    bool havePicture_ = false;
    Clock::time_point lastPictureAt_;
    std::string reason_;

    MediaClock clock_;           // reader thread only; set afresh on each run
    PictureConverter resizer_;   // reader thread only
    PictureConverter converter_; // Latest()'s caller only
};

// The ffmpeg arguments that pass the input's pictures on as they are coded and its sound as
// PCM, in NUT on stdout.
std::vector<std::string> LiveInputArguments(const LiveInputSettings& settings);

} // namespace hosting
