// The show's pictures as H.264, encoded once for every output that takes the same encoding:
// x264 through libavcodec, on a thread of its own, with the settings a live stream wants (no
// lookahead, no B-frames, a key picture every two seconds at most). The show hands a picture
// over and goes on; while x264 lags, the oldest waiting pictures are left out, so it never
// holds the show back and what it sends stays recent. Pictures wait in buffers of the
// encoder's own, which x264 reads in place.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "hosting/frame_io.h"
#include "hosting/picture.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace hosting {

struct H264Settings {
    int width = 0;
    int height = 0;
    double fps = 30;
    EncoderSettings encoder;
    int crf = 0; // x264's constant rate factor; 0: x264's default
};

class H264Encoder {
public:
    // An encoded picture: its time, whether a decoder can start at it, and its NAL units, each
    // after its length in four bytes. Called on the encoder's thread, in order.
    using PacketSink = std::function<void(std::int64_t ms, bool key, std::span<const BYTE> units)>;

    H264Encoder() = default;
    H264Encoder(const H264Encoder&) = delete;
    H264Encoder& operator=(const H264Encoder&) = delete;
    // Close().
    ~H264Encoder();

    // Opens x264 and starts the thread. False, with the reason, when x264 cannot encode this.
    bool Open(const H264Settings& settings, PacketSink sink, std::string& error);
    // The stream's decoder configuration record, for the outputs' track.
    const std::vector<BYTE>& Configuration() const { return configuration_; }
    int Quality() const { return settings_.crf; }
    // Queues a copy of `picture` (of the encoder's size; any other is refused) at `ms`.
    void Put(const I420Picture& picture, std::int64_t ms);
    // Queues `picture` itself, copying nothing: its bytes are exchanged for a buffer of the
    // same size whose contents are left unspecified.
    void Take(I420Picture& picture, std::int64_t ms);
    // Encodes what waits and what x264 still holds, then ends the thread.
    void Close();
    // Pictures left out while x264 lagged.
    long Dropped() const;
    // What went wrong when x264 refused a picture; empty while all is well.
    std::string Error() const;

private:
    using Buffer = std::vector<BYTE>;
    struct Waiting {
        Buffer* picture;
        std::int64_t ms;
    };

    bool Fits(const I420Picture& picture) const;
    // A buffer to fill: a free one, a new one, or while x264 lags the oldest waiting one.
    Buffer* FreeBuffer();
    void Queue(Buffer* picture, std::int64_t ms);
    void Run();
    bool Encode(const Waiting& waiting);
    bool Encode(AVFrame* frame);
    // libavcodec let go of the last reference to a buffer's bytes: it is free again.
    static void Release(void* self, std::uint8_t* bytes);

    H264Settings settings_;
    PacketSink sink_;
    AVCodecContext* context_ = nullptr;
    AVPacket* packet_ = nullptr;
    std::vector<BYTE> configuration_;
    std::vector<BYTE> units_;
    std::thread thread_;
    std::size_t queuedPictures_ = 1;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<Buffer>> buffers_; // every buffer, for the encoder's life
    std::deque<Waiting> queue_;                    // oldest first
    std::vector<Buffer*> free_;
    bool closing_ = false;
    long dropped_ = 0;
    std::string error_;
};

} // namespace hosting
