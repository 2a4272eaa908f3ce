// Decodes what an input's ffmpeg passes on (its pictures in their own coding, its sound as
// 16-bit PCM, in NUT on a pipe): pictures are handed on as the decoder made them, and become
// packed I420 of the show's size only when one is shown (copied once when it is that already,
// else scaled and brought to studio range); sound is handed on as it is. No raw picture
// crosses a pipe. A picture that cannot be decoded (a damaged packet from a network camera)
// is left out; only the end of the stream or a stream that cannot be read ends it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "hosting/picture.h"
#include "platform/wintypes.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwsContext;

namespace hosting {

// A decoded picture in the decoder's own size and format, shared by reference.
class DecodedPicture {
public:
    DecodedPicture() = default;
    // Takes `frame`.
    explicit DecodedPicture(AVFrame* frame) : frame_(frame) {}
    DecodedPicture(DecodedPicture&& other) noexcept : frame_(other.frame_) {
        other.frame_ = nullptr;
    }
    DecodedPicture& operator=(DecodedPicture&& other) noexcept;
    ~DecodedPicture();

    explicit operator bool() const { return frame_ != nullptr; }
    // Another reference to the same pixels: none are copied.
    DecodedPicture Share() const;
    const AVFrame* Frame() const { return frame_; }

private:
    AVFrame* frame_ = nullptr;
};

// Brings decoded pictures to the size asked for, in studio-range I420.
class PictureConverter {
public:
    PictureConverter() = default;
    PictureConverter(const PictureConverter&) = delete;
    PictureConverter& operator=(const PictureConverter&) = delete;
    ~PictureConverter();

    // `decoded` into `picture`, at its size: copied when it is that size in studio-range I420
    // already, else scaled (bicubic, as ffmpeg's scale filter) and converted. False, touching
    // nothing, for an empty picture or one of unusable size.
    bool Convert(const DecodedPicture& decoded, I420Picture& picture);
    // `decoded` as a picture Convert() only copies: itself when it is one already, else a new
    // one of width × height. Empty when it cannot be made.
    DecodedPicture Resized(const DecodedPicture& decoded, int width, int height);

private:
    bool Scale(const AVFrame& frame, std::uint8_t* const planes[], const int strides[], int width,
               int height);

    SwsContext* scaler_ = nullptr;
};

class InputDecoder {
public:
    // Fills up to `size` bytes, waiting for at least one; 0 at the end of the stream.
    using Read = std::function<std::size_t(BYTE* data, std::size_t size)>;
    // A picture at `micros` of the input's time.
    using PictureSink = std::function<void(std::int64_t micros, DecodedPicture picture)>;
    using SoundSink = std::function<void(std::int64_t micros, std::span<const BYTE> pcm)>;

    InputDecoder() = default;
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
    std::int64_t Micros(std::int64_t time, int stream);

    Read read_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    AVPacket* packet_ = nullptr;
    int video_ = -1;
    int audio_ = -1;
    std::int64_t lastMicros_ = 0;
    std::string error_;
};

} // namespace hosting
