#include "hosting/input_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "hosting/libav.h"
#include "hosting/live_input.h"
#include "hosting/picture.h"

namespace hosting {

namespace {

constexpr int kReadBufferBytes = 1 << 16;
constexpr AVRational kMicrosecond = {1, 1000000};

// Sound the show takes as it is: 16-bit interleaved PCM at its rate and channels.
bool ShowSound(const AVCodecParameters& sound) {
    return sound.codec_id == AV_CODEC_ID_PCM_S16LE && sound.sample_rate == kAudioRate &&
           sound.ch_layout.nb_channels == kAudioChannels;
}

} // namespace

DecodedPicture& DecodedPicture::operator=(DecodedPicture&& other) noexcept {
    if (this != &other) {
        av_frame_free(&frame_);
        frame_ = other.frame_;
        other.frame_ = nullptr;
    }
    return *this;
}

DecodedPicture::~DecodedPicture() {
    av_frame_free(&frame_);
}

DecodedPicture DecodedPicture::Share() const {
    return DecodedPicture(frame_ ? av_frame_clone(frame_) : nullptr);
}

PictureConverter::~PictureConverter() {
    sws_freeContext(scaler_);
}

namespace {

// A picture the encoder takes as it is: studio-range I420 of width × height.
bool Ready(const AVFrame& frame, int width, int height) {
    return frame.format == AV_PIX_FMT_YUV420P && frame.color_range != AVCOL_RANGE_JPEG &&
           frame.width == width && frame.height == height;
}

} // namespace

bool PictureConverter::Convert(const DecodedPicture& decoded, I420Picture& picture) {
    const AVFrame* frame = decoded.Frame();
    const auto bytes = PackedI420Bytes(picture.width, picture.height);
    if (!frame || !bytes || picture.bytes.size() != *bytes) return false;
    std::uint8_t* planes[4] = {};
    int strides[4] = {};
    av_image_fill_arrays(planes, strides, picture.bytes.data(), AV_PIX_FMT_YUV420P, picture.width,
                         picture.height, 1);
    if (!Ready(*frame, picture.width, picture.height))
        return Scale(*frame, planes, strides, picture.width, picture.height);
    av_image_copy(planes, strides, const_cast<const std::uint8_t**>(frame->data), frame->linesize,
                  AV_PIX_FMT_YUV420P, picture.width, picture.height);
    return true;
}

DecodedPicture PictureConverter::Resized(const DecodedPicture& decoded, int width, int height) {
    const AVFrame* frame = decoded.Frame();
    if (!frame || !PackedI420Bytes(width, height)) return {};
    if (Ready(*frame, width, height)) return decoded.Share();
    AVFrame* resized = av_frame_alloc();
    if (!resized) return {};
    resized->format = AV_PIX_FMT_YUV420P;
    resized->width = width;
    resized->height = height;
    if (av_frame_get_buffer(resized, 0) < 0 ||
        !Scale(*frame, resized->data, resized->linesize, width, height)) {
        av_frame_free(&resized);
        return {};
    }
    resized->pts = frame->pts;
    resized->best_effort_timestamp = frame->best_effort_timestamp;
    return DecodedPicture(resized);
}

// Scales bicubically, as ffmpeg's scale filter does, into studio-range I420.
bool PictureConverter::Scale(const AVFrame& frame, std::uint8_t* const planes[],
                             const int strides[], int width, int height) {
    if (frame.width <= 0 || frame.height <= 0) return false;
    scaler_ = sws_getCachedContext(scaler_, frame.width, frame.height,
                                   static_cast<AVPixelFormat>(frame.format), width, height,
                                   AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!scaler_) return false;
    if (frame.color_range == AVCOL_RANGE_JPEG) {
        // A camera's JPEG pictures use every value; the encoder wants studio range.
        int *inverse = nullptr, *table = nullptr;
        int sourceRange = 0, range = 0, brightness = 0, contrast = 0, saturation = 0;
        sws_getColorspaceDetails(scaler_, &inverse, &sourceRange, &table, &range, &brightness,
                                 &contrast, &saturation);
        if (sourceRange != 1)
            sws_setColorspaceDetails(scaler_, inverse, 1, table, 0, brightness, contrast,
                                     saturation);
    }
    return sws_scale(scaler_, frame.data, frame.linesize, 0, frame.height, planes, strides) > 0;
}

InputDecoder::~InputDecoder() {
    av_packet_free(&packet_);
    avcodec_free_context(&decoder_);
    avformat_close_input(&format_);
    if (io_) av_freep(&io_->buffer);
    avio_context_free(&io_);
}

int InputDecoder::ReadPacket(void* self, std::uint8_t* data, int size) {
    const std::size_t got =
        static_cast<InputDecoder*>(self)->read_(data, static_cast<std::size_t>(size));
    return got > 0 ? static_cast<int>(got) : AVERROR_EOF;
}

bool InputDecoder::Open(Read read) {
    SilenceLibav();
    read_ = std::move(read);
    packet_ = av_packet_alloc();
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kReadBufferBytes));
    if (buffer)
        io_ = avio_alloc_context(buffer, kReadBufferBytes, 0, this, &ReadPacket, nullptr, nullptr);
    if (!io_) av_free(buffer);
    format_ = avformat_alloc_context();
    if (!packet_ || !io_ || !format_) {
        error_ = "out of memory";
        return false;
    }
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    const int opened = avformat_open_input(&format_, nullptr, av_find_input_format("nut"), nullptr);
    if (opened < 0) { // the stream is freed
        // An ffmpeg that ended before it wrote anything said why on its own.
        if (opened != AVERROR_EOF) error_ = "unreadable output from ffmpeg: " + AvErrorText(opened);
        return false;
    }
    video_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    audio_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audio_ >= 0 && !ShowSound(*format_->streams[audio_]->codecpar)) audio_ = -1;
    if (video_ < 0) return true;
    return OpenPictures();
}

bool InputDecoder::OpenPictures() {
    const AVCodecParameters& coded = *format_->streams[video_]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(coded.codec_id);
    if (!codec) {
        error_ = std::string("no decoder for the input's pictures (") +
                 avcodec_get_name(coded.codec_id) + ")";
        return false;
    }
    decoder_ = avcodec_alloc_context3(codec);
    if (!decoder_ || avcodec_parameters_to_context(decoder_, &coded) < 0) {
        error_ = "out of memory";
        return false;
    }
    // Slice threads only: frame threads would hold each picture back a frame per thread while
    // its sound goes on, and the picture would be on air after its sound.
    decoder_->thread_count = 0;
    decoder_->thread_type = FF_THREAD_SLICE;
    const int opened = avcodec_open2(decoder_, codec, nullptr);
    if (opened < 0) {
        error_ = "cannot decode the input's pictures: " + AvErrorText(opened);
        return false;
    }
    return true;
}

bool InputDecoder::Next(const PictureSink& picture, const SoundSink& sound) {
    const int read = av_read_frame(format_, packet_);
    if (read < 0) {
        if (read != AVERROR_EOF) error_ = "unreadable output from ffmpeg: " + AvErrorText(read);
        if (decoder_) Decode(nullptr, picture); // the pictures the decoder still holds
        return false;
    }
    if (packet_->stream_index == video_ && decoder_)
        Decode(packet_, picture);
    else if (packet_->stream_index == audio_ && packet_->size > 0)
        sound(Micros(packet_->pts, audio_),
              {packet_->data, static_cast<std::size_t>(packet_->size)});
    av_packet_unref(packet_);
    return true;
}

void InputDecoder::Decode(const AVPacket* packet, const PictureSink& sink) {
    // A packet the decoder refuses (damaged on its way) is left out; the next key picture
    // brings the pictures back.
    if (avcodec_send_packet(decoder_, packet) < 0) return;
    for (;;) {
        AVFrame* frame = av_frame_alloc();
        if (!frame || avcodec_receive_frame(decoder_, frame) < 0) {
            av_frame_free(&frame);
            return;
        }
        const std::int64_t micros = Micros(frame->best_effort_timestamp, video_);
        sink(micros, DecodedPicture(frame));
    }
}

// A packet or picture without a time takes the time of the one before.
std::int64_t InputDecoder::Micros(std::int64_t time, int stream) {
    if (time == AV_NOPTS_VALUE) return lastMicros_;
    return lastMicros_ = av_rescale_q(time, format_->streams[stream]->time_base, kMicrosecond);
}

} // namespace hosting
