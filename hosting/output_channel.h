// One destination of a live show (a file, an RTMP or SRT URL, a loopback camera, a preview
// window) with an ffmpeg of its own, fed timestamped blocks by a thread of its own. One output
// failing or lagging touches no other: a lagging output has its oldest waiting pictures left
// out (the timestamps keep the stream's length true; an encoded picture goes with those that
// depend on it, up to the next key picture), a network output that fails is started again
// with back-off, and one that fails for good says why.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hosting/subprocess.h"
#include "platform/wintypes.h"

namespace hosting {

// How much of the show, in seconds, may wait for a lagging encoder or output before its
// oldest pictures go.
inline constexpr double kQueuedSeconds = 0.5;

// A block of the show's stream, written once and shared by every output.
struct MediaPacket {
    bool picture = false;
    bool key = true; // a picture that needs none before it (every raw one)
    std::vector<BYTE> bytes;
};
using SharedPacket = std::shared_ptr<const MediaPacket>;

struct OutputHealth {
    enum class State { Starting, On, Retrying, Failed, Finished };
    std::string name; // the output, without a stream key
    State state = State::Starting;
    long pictures = 0; // pictures handed to its ffmpeg
    long dropped = 0;  // pictures left out while its encoder lagged
    int restarts = 0;
    std::string error; // what went wrong last, one line
};

const char* StateName(OutputHealth::State state);

class OutputChannel {
public:
    using Clock = std::chrono::steady_clock;

    // `argv` runs its ffmpeg, which reads `header` and then the blocks on its stdin. A channel
    // that `retries` is started again when its ffmpeg ends before the show does. At most
    // `queuedPictures` pictures wait for a lagging ffmpeg.
    OutputChannel(std::string output, std::vector<std::string> argv, std::vector<BYTE> header,
                  bool retries, std::size_t queuedPictures);
    OutputChannel(const OutputChannel&) = delete;
    OutputChannel& operator=(const OutputChannel&) = delete;
    // Close() with no time to finish.
    ~OutputChannel();

    void Start();
    // Queues a block; returns at once.
    void Put(const SharedPacket& packet);
    // Ends the stream: what is queued is written and ffmpeg finishes (a file's index written).
    // Returns at once.
    void Finish();
    // Finish(), then waits: at `deadline` whatever still runs is ended. True when it finished
    // cleanly.
    bool Close(Clock::time_point deadline);

    OutputHealth Health() const;
    bool FailedForGood() const { return failedForGood_; }

private:
    void Run();
    // Writes the header and then blocks until closed (true) or ffmpeg goes (false).
    bool Feed();
    SharedPacket Pop();
    void DropOldestPicture();
    void SetState(OutputHealth::State state, std::string error = {});
    std::string Redacted(std::string text) const;

    const std::string output_;
    const std::vector<std::string> argv_;
    const std::vector<BYTE> header_;
    const bool retries_;
    const std::size_t queuedPictures_;
    Subprocess ffmpeg_;
    std::thread thread_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<SharedPacket> queue_;
    std::size_t queuedPictureCount_ = 0;
    bool awaitingKey_ = true; // pictures are left out until a key one comes
    bool closing_ = false;
    bool flowing_ = false; // its ffmpeg took a picture since it started
    bool done_ = false;
    OutputHealth health_;
    std::atomic<bool> failedForGood_{false};
};

// How an output is named where others see it: a URL loses what follows its first path part
// (a stream key) and its query.
std::string PublicOutputName(const std::string& output);

} // namespace hosting
