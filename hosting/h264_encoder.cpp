#include "hosting/h264_encoder.h"

#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include "hosting/avc.h"
#include "hosting/libav.h"

namespace hosting {

namespace {

// How much of the show may wait for a lagging x264 before its oldest pictures go.
constexpr double kQueuedSeconds = 0.5;
// A key picture every 60 pictures: every two seconds at 30 a second, what streaming services
// ask for, and once a second at 60.
constexpr int kKeyInterval = 60;
constexpr AVRational kMillisecond = {1, 1000};

} // namespace

H264Encoder::~H264Encoder() {
    Close();
    for (AVFrame* frame : queue_)
        av_frame_free(&frame);
    for (AVFrame* frame : free_)
        av_frame_free(&frame);
    av_packet_free(&packet_);
    avcodec_free_context(&context_);
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

// A frame to fill: one the encoder is done with, or a new one.
AVFrame* H264Encoder::FreeFrame() {
    {
        std::lock_guard lock(mutex_);
        if (!free_.empty()) {
            AVFrame* frame = free_.back();
            free_.pop_back();
            return frame;
        }
        if (queue_.size() >= queuedPictures_) { // x264 lags: the oldest waiting picture goes
            AVFrame* frame = queue_.front();
            queue_.pop_front();
            ++dropped_;
            return frame;
        }
    }
    AVFrame* frame = av_frame_alloc();
    if (!frame) return nullptr;
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = settings_.width;
    frame->height = settings_.height;
    if (av_frame_get_buffer(frame, 0) < 0) av_frame_free(&frame);
    return frame;
}

void H264Encoder::Put(const I420Picture& picture, std::int64_t ms) {
    if (!thread_.joinable() || picture.width != settings_.width ||
        picture.height != settings_.height ||
        picture.bytes.size() != PackedI420Bytes(picture.width, picture.height))
        return;
    AVFrame* frame = FreeFrame();
    // x264 copies what it takes, so a frame it was given is normally writable again; should
    // libavcodec still hold it, it gets a buffer of its own.
    if (!frame || av_frame_make_writable(frame) < 0) {
        av_frame_free(&frame);
        return;
    }
    const BYTE* planes[4] = {};
    int strides[4] = {};
    av_image_fill_arrays(const_cast<BYTE**>(planes), strides, picture.bytes.data(),
                         AV_PIX_FMT_YUV420P, picture.width, picture.height, 1);
    av_image_copy(frame->data, frame->linesize, planes, strides, AV_PIX_FMT_YUV420P, picture.width,
                  picture.height);
    frame->pts = ms;
    {
        std::lock_guard lock(mutex_);
        if (closing_) {
            free_.push_back(frame);
            return;
        }
        queue_.push_back(frame);
    }
    changed_.notify_one();
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
        const std::int64_t ms = av_rescale_q(packet_->pts, context_->time_base, kMillisecond);
        sink_(ms, (packet_->flags & AV_PKT_FLAG_KEY) != 0, units_);
        av_packet_unref(packet_);
    }
    std::lock_guard lock(mutex_);
    error_ = "x264: " + AvErrorText(result);
    return false;
}

void H264Encoder::Run() {
    for (;;) {
        AVFrame* frame = nullptr;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) break; // closing, and everything waiting is encoded
            frame = queue_.front();
            queue_.pop_front();
        }
        const bool ok = Encode(frame);
        std::lock_guard lock(mutex_);
        free_.push_back(frame);
        if (!ok) return;
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
