// Decodes what an input's ffmpeg passes on (its pictures in their own coding, its sound as
// 16-bit PCM, in NUT on a pipe): each picture becomes packed I420 of the show's size, scaled
// and brought to studio range where it is not that already; sound is handed on as it is. No
// raw picture crosses a pipe, and a picture already of the show's size and format is copied
// once. A picture that cannot be decoded (a damaged packet from a network camera) is left out;
// only the end of the stream or a stream that cannot be read ends it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/wintypes.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwsContext;

namespace hosting {

class InputDecoder {
public:
    // Fills up to `size` bytes, waiting for at least one; 0 at the end of the stream.
    using Read = std::function<std::size_t(BYTE* data, std::size_t size)>;
    // A picture at `micros` of the input's time, packed I420: the handler may swap the bytes
    // away (the decoder then fills the vector it is left).
    using PictureSink = std::function<void(std::int64_t micros, std::vector<BYTE>& i420)>;
    using SoundSink = std::function<void(std::int64_t micros, std::span<const BYTE> pcm)>;

    // Pictures of width × height.
    InputDecoder(int width, int height);
    InputDecoder(const InputDecoder&) = delete;
    InputDecoder& operator=(const InputDecoder&) = delete;
    ~InputDecoder();

    // Reads the stream's header. False, with Error() set, when it is no stream this reads.
    bool Open(Read read);
    bool HasPictures() const { return video_ >= 0; }
    bool HasSound() const { return audio_ >= 0; }
    // Reads the next packet and hands on what it holds. False at the end of the stream or
    // when it cannot be read any further (then Error() says why).
    bool Next(const PictureSink& picture, const SoundSink& sound);
    const std::string& Error() const { return error_; }

private:
    static int ReadPacket(void* self, std::uint8_t* data, int size);
    bool OpenPictures();
    void Decode(const AVPacket* packet, const PictureSink& sink);
    bool Convert(const AVFrame& frame);
    std::int64_t Micros(std::int64_t time, int stream);

    const int width_, height_;
    Read read_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    SwsContext* scaler_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int video_ = -1;
    int audio_ = -1;
    std::int64_t lastMicros_ = 0;
    std::vector<BYTE> picture_;
    std::string error_;
};

} // namespace hosting
