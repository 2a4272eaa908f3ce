#include "hosting/live_input.h"

#include <sys/stat.h>

#include <algorithm>

#include "hosting/input_decoder.h"

namespace hosting {

namespace {

using namespace std::chrono_literals;

constexpr auto kFirstReopen = 1s;    // back-off before reopening an input that ended
constexpr auto kLongestReopen = 8s;  // cameras and streams come back within seconds or not soon
constexpr auto kRunThatCounts = 10s; // a run this long resets the back-off

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// "pulse:SOURCE" and "alsa:DEVICE" name their system; a bare name is an ALSA device.
std::vector<std::string> SoundDeviceArguments(const std::string& device) {
    if (device.starts_with("pulse:")) return {"-f", "pulse", "-i", device.substr(6)};
    if (device.starts_with("alsa:")) return {"-f", "alsa", "-i", device.substr(5)};
    return {"-f", "alsa", "-i", device};
}

} // namespace

std::vector<std::string> LiveInputArguments(const LiveInputSettings& settings) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error"};
    const bool pictures = !settings.input.empty();
    if (pictures) {
        const std::string& input = settings.input;
        if (input.starts_with("/dev/video")) {
            argv.insert(argv.end(), {"-f", "v4l2"});
        } else if (IsRegularFile(input)) {
            // A file plays at its own pace, as a camera would deliver it.
            argv.push_back("-re");
            if (settings.loop) argv.insert(argv.end(), {"-stream_loop", "-1"});
        }
        // A path that starts with '-' is a file, not an option.
        argv.insert(argv.end(), {"-i", input.starts_with('-') ? "file:" + input : input});
    }
    const bool device = settings.audio && !settings.audioDevice.empty();
    if (device) {
        const auto more = SoundDeviceArguments(settings.audioDevice);
        argv.insert(argv.end(), more.begin(), more.end());
    }
    // The pictures as they come: the host decodes them itself, so no raw picture crosses the
    // pipe (a 1080p60 one carries 180 MB a second).
    if (pictures) argv.insert(argv.end(), {"-map", "0:v:0", "-c:v", "copy"});
    if (device)
        argv.insert(argv.end(), {"-map", pictures ? "1:a:0" : "0:a:0"});
    else if (settings.audio && pictures)
        argv.insert(argv.end(), {"-map", "0:a:0?"}); // a file or stream without sound is fine
    if (settings.audio)
        argv.insert(argv.end(), {"-c:a", "pcm_s16le", "-ar", std::to_string(kAudioRate), "-ac",
                                 std::to_string(kAudioChannels)});
    // NUT carries any coding ffmpeg knows; each packet is written at once.
    argv.insert(argv.end(), {"-f", "nut", "-flush_packets", "1", "pipe:1"});
    return argv;
}

LiveInput::~LiveInput() {
    Stop();
}

bool LiveInput::Start(const LiveInputSettings& settings, SoundSink sound, std::string& error) {
    if (!settings.input.empty() && !PackedI420Bytes(settings.width, settings.height)) {
        error = "unusable frame size";
        return false;
    }
    settings_ = settings;
    sound_ = std::move(sound);
    lastPictureAt_ = Clock::now();
    if (!ffmpeg_.Start(LiveInputArguments(settings_), Subprocess::Pipe::FromChild, error))
        return false;
    reader_ = std::thread([this] { Run(); });
    return true;
}

void LiveInput::Stop() {
    stop_ = true;
    changed_.notify_all();
    ffmpeg_.Kill();
    if (reader_.joinable()) reader_.join();
    ffmpeg_.Finish();
}

void LiveInput::Run() {
    auto wait = Clock::duration(kFirstReopen);
    for (;;) {
        const auto started = Clock::now();
        const bool ok = ReadOnce();
        const int status = ffmpeg_.Finish();
        {
            std::lock_guard lock(mutex_);
            const std::string said = ffmpeg_.ErrorText();
            reason_ = !said.empty() ? said : ok ? "the input ended" : reason_;
        }
        if (stop_) break;
        if (!settings_.reopen) {
            finished_ = ok && status == 0 && IsRegularFile(settings_.input);
            break;
        }
        if (Clock::now() - started >= kRunThatCounts) wait = kFirstReopen;
        std::unique_lock lock(mutex_);
        if (changed_.wait_for(lock, wait, [this] { return stop_.load(); })) break;
        lock.unlock();
        wait = std::min<Clock::duration>(wait * 2, kLongestReopen);
        std::string error;
        clock_.Reset();
        if (!ffmpeg_.Start(LiveInputArguments(settings_), Subprocess::Pipe::FromChild, error)) {
            std::lock_guard relock(mutex_);
            reason_ = error;
        }
        if (stop_) ffmpeg_.Kill(); // Stop() may have come while it started
    }
    ended_ = true;
    changed_.notify_all();
}

bool LiveInput::ReadOnce() {
    InputDecoder decoder;
    if (decoder.Open(
            [this](BYTE* data, std::size_t size) { return ffmpeg_.ReadSome(data, size); })) {
        hasSound_ = decoder.HasSound(); // known before the first picture is handed on
        const auto picture = [this](std::int64_t micros, DecodedPicture decoded) {
            TakePicture(micros, std::move(decoded));
        };
        const auto sound = [this](std::int64_t micros, std::span<const BYTE> pcm) {
            TakeSound(micros, pcm);
        };
        while (!stop_ && decoder.Next(picture, sound)) {
        }
    }
    if (decoder.Error().empty()) return true;
    std::lock_guard lock(mutex_);
    reason_ = decoder.Error();
    return false;
}

void LiveInput::TakePicture(std::int64_t micros, DecodedPicture picture) {
    clock_.Place(micros, Clock::now());
    // Scaled here, on the input's own thread, so that the show's thread only copies it.
    picture = resizer_.Resized(picture, settings_.width, settings_.height);
    if (!picture) return;
    {
        std::lock_guard lock(mutex_);
        newest_ = std::move(picture); // the one before goes back to the decoder
        havePicture_ = true;
        lastPictureAt_ = Clock::now();
    }
    changed_.notify_all();
}

void LiveInput::TakeSound(std::int64_t micros, std::span<const BYTE> pcm) {
    const auto at = clock_.Place(micros, Clock::now());
    const std::size_t whole = pcm.size() - pcm.size() % kAudioFrameBytes;
    if (sound_ && whole > 0) sound_(at, pcm.first(whole));
}

bool LiveInput::WaitForFirstPicture(Clock::duration timeout, const std::atomic<bool>& stop) {
    const auto until = Clock::now() + timeout;
    std::unique_lock lock(mutex_);
    while (!havePicture_ && !ended_ && !stop && Clock::now() < until)
        changed_.wait_for(lock, std::min<Clock::duration>(until - Clock::now(), 50ms));
    return havePicture_;
}

bool LiveInput::Latest(I420Picture& picture) {
    DecodedPicture newest;
    {
        std::lock_guard lock(mutex_);
        newest = newest_.Share(); // converted outside the lock: the decoder goes on meanwhile
    }
    return converter_.Convert(newest, picture);
}

bool LiveInput::Waiting() const {
    std::lock_guard lock(mutex_);
    return !havePicture_;
}

LiveInput::Clock::time_point LiveInput::LastPictureAt() const {
    std::lock_guard lock(mutex_);
    return lastPictureAt_;
}

std::string LiveInput::Reason() const {
    std::lock_guard lock(mutex_);
    return reason_;
}

} // namespace hosting
