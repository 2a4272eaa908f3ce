#include "hosting/h264_encoder.h"

#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include "hosting/avc.h"
#include "hosting/libav.h"
#include "hosting/output_channel.h"

namespace hosting {

namespace {

// A key picture every 60 pictures: every two seconds at 30 a second, what streaming services
// ask for, and once a second at 60.
constexpr int kKeyInterval = 60;
constexpr AVRational kMillisecond = {1, 1000};

} // namespace

H264Encoder::~H264Encoder() {
    Close();
    av_packet_free(&packet_);
    avcodec_free_context(&context_); // lets go of any picture it still holds
}

bool H264Encoder::Open(const H264Settings& settings, PacketSink sink, std::string& error) {
    SilenceLibav();
    if (!KnownPreset(settings.encoder.preset)) {
        error = settings.encoder.preset + ": not an x264 preset (ultrafast to placebo)";
        return false;
    }
    if (!PackedI420Bytes(settings.width, settings.height) || !(settings.fps > 0)) {
        error = "unusable picture size or rate for H.264";
        return false;
    }
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        error = "this libavcodec has no x264 encoder";
        return false;
    }
    settings_ = settings;
    sink_ = std::move(sink);
    context_ = avcodec_alloc_context3(codec);
    packet_ = av_packet_alloc();
    if (!context_ || !packet_) {
        error = "out of memory";
        return false;
    }
    context_->width = settings.width;
    context_->height = settings.height;
    context_->pix_fmt = AV_PIX_FMT_YUV420P;
    // Pictures keep the show's millisecond times: where the show left a late one out, the one
    // before lasts longer.
    context_->time_base = kMillisecond;
    context_->framerate = av_d2q(settings.fps, 1001000);
    context_->gop_size = kKeyInterval;
    context_->max_b_frames = 0;
    context_->thread_count = std::max(0, settings.encoder.threads);
    // The parameter sets go once, in the track's configuration, as MP4 and FLV want them.
    context_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", settings.encoder.preset.c_str(), 0);
    // Zero-latency tuning with frame threads instead of its sliced ones, as the outputs' own
    // ffmpeg encoded (see X264Arguments).
    av_dict_set(&options, "tune", "zerolatency", 0);
    av_dict_set(&options, "x264-params", "sliced-threads=0", 0);
    if (settings.crf > 0) av_dict_set_int(&options, "crf", settings.crf, 0);
    const int opened = avcodec_open2(context_, codec, &options);
    av_dict_free(&options);
    if (opened < 0) {
        error = "x264 cannot encode this: " + AvErrorText(opened);
        return false;
    }
    configuration_ = AvcConfiguration({context_->extradata, std::size_t(context_->extradata_size)});
    if (configuration_.empty()) {
        error = "x264 gave no sequence parameter set";
        return false;
    }
    queuedPictures_ =
        std::max<std::size_t>(1, std::size_t(std::ceil(settings.fps * kQueuedSeconds)));
    thread_ = std::thread([this] { Run(); });
    return true;
}

bool H264Encoder::Fits(const I420Picture& picture) const {
    return thread_.joinable() && picture.width == settings_.width &&
           picture.height == settings_.height &&
           picture.bytes.size() == PackedI420Bytes(picture.width, picture.height);
}

H264Encoder::Buffer* H264Encoder::FreeBuffer() {
    std::lock_guard lock(mutex_);
    if (!free_.empty()) {
        Buffer* buffer = free_.back();
        free_.pop_back();
        return buffer;
    }
    if (queue_.size() >= queuedPictures_) { // x264 lags: the oldest waiting picture goes
        Buffer* buffer = queue_.front().picture;
        queue_.pop_front();
        ++dropped_;
        return buffer;
    }
    buffers_.push_back(std::make_unique<Buffer>());
    return buffers_.back().get();
}

void H264Encoder::Queue(Buffer* picture, std::int64_t ms) {
    {
        std::lock_guard lock(mutex_);
        if (closing_) {
            free_.push_back(picture);
            return;
        }
        queue_.push_back({picture, ms});
    }
    changed_.notify_one();
}

void H264Encoder::Put(const I420Picture& picture, std::int64_t ms) {
    if (!Fits(picture)) return;
    Buffer* buffer = FreeBuffer();
    buffer->assign(picture.bytes.begin(), picture.bytes.end());
    Queue(buffer, ms);
}

void H264Encoder::Take(I420Picture& picture, std::int64_t ms) {
    if (!Fits(picture)) return;
    Buffer* buffer = FreeBuffer();
    buffer->swap(picture.bytes);
    picture.bytes.resize(buffer->size()); // a new buffer was empty
    Queue(buffer, ms);
}

void H264Encoder::Release(void* self, std::uint8_t* bytes) {
    auto* encoder = static_cast<H264Encoder*>(self);
    std::lock_guard lock(encoder->mutex_);
    for (const auto& buffer : encoder->buffers_) {
        if (buffer->data() != bytes) continue;
        encoder->free_.push_back(buffer.get());
        return;
    }
}

// Hands x264 the waiting picture in place: its buffer is free again once libavcodec lets go
// of it (x264 copies what it takes).
bool H264Encoder::Encode(const Waiting& waiting) {
    AVFrame* frame = av_frame_alloc();
    AVBufferRef* bytes = frame ? av_buffer_create(waiting.picture->data(), waiting.picture->size(),
                                                  &Release, this, 0)
                               : nullptr;
    if (!bytes) {
        av_frame_free(&frame);
        std::lock_guard lock(mutex_);
        free_.push_back(waiting.picture);
        return true; // out of memory for a moment: this picture is left out
    }
    frame->buf[0] = bytes;
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = settings_.width;
    frame->height = settings_.height;
    frame->pts = waiting.ms;
    av_image_fill_arrays(frame->data, frame->linesize, waiting.picture->data(), AV_PIX_FMT_YUV420P,
                         settings_.width, settings_.height, 1);
    const bool ok = Encode(frame);
    av_frame_free(&frame);
    return ok;
}

// Sends `frame` (null: the end of the stream) to x264 and hands on every picture it gives back.
bool H264Encoder::Encode(AVFrame* frame) {
    int result = avcodec_send_frame(context_, frame);
    while (result >= 0) {
        result = avcodec_receive_packet(context_, packet_);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
        if (result < 0) break;
        units_.clear();
        AppendLengthPrefixed(units_, {packet_->data, std::size_t(packet_->size)});
        // The stream's time base is the millisecond, the pictures' own times.
        sink_(packet_->pts, (packet_->flags & AV_PKT_FLAG_KEY) != 0, units_);
        av_packet_unref(packet_);
    }
    std::lock_guard lock(mutex_);
    error_ = "x264: " + AvErrorText(result);
    return false;
}

void H264Encoder::Run() {
    for (;;) {
        Waiting waiting{};
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) break; // closing, and everything waiting is encoded
            waiting = queue_.front();
            queue_.pop_front();
        }
        if (!Encode(waiting)) return;
    }
    Encode(nullptr); // what x264 still holds
}

void H264Encoder::Close() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

long H264Encoder::Dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

std::string H264Encoder::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

} // namespace hosting
