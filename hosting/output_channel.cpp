#include "hosting/output_channel.h"

#include <algorithm>
#include <iterator>

namespace hosting {

namespace {

using namespace std::chrono_literals;

constexpr auto kFirstRetry = 1s;
constexpr auto kLongestRetry = 30s;
constexpr auto kRunThatCounts = 30s; // a run this long resets the back-off
// Sound blocks come a few to a picture; this many more may wait beside the pictures.
constexpr std::size_t kSoundPerPicture = 4;
// Until its ffmpeg has taken a first picture (it takes a while to start, longer on a loaded
// machine) an output may hold this many times more, so the show's start is not left out.
constexpr std::size_t kStartingRoom = 4;

// The last line ffmpeg said, for a status line.
std::string LastLine(const std::string& text) {
    const auto end = text.find_last_not_of("\n ");
    if (end == std::string::npos) return {};
    const auto start = text.find_last_of('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1,
                       end - (start == std::string::npos ? 0 : start + 1) + 1);
}

} // namespace

const char* StateName(OutputHealth::State state) {
    switch (state) {
    case OutputHealth::State::Starting:
        return "starting";
    case OutputHealth::State::On:
        return "on";
    case OutputHealth::State::Retrying:
        return "retrying";
    case OutputHealth::State::Failed:
        return "failed";
    case OutputHealth::State::Finished:
        return "finished";
    }
    return "?";
}

std::string PublicOutputName(const std::string& output) {
    const auto scheme = output.find("://");
    if (scheme == std::string::npos) return output;
    std::string name = output.substr(0, output.find('?'));
    const auto path = name.find('/', scheme + 3);
    if (path == std::string::npos) return name;
    const auto second = name.find('/', path + 1);
    if (second != std::string::npos && second + 1 < name.size())
        name = name.substr(0, second + 1) + "…";
    return name;
}

OutputChannel::OutputChannel(std::string output, std::vector<std::string> argv,
                             std::vector<BYTE> header, bool retries, std::size_t queuedPictures)
    : output_(std::move(output)), argv_(std::move(argv)), header_(std::move(header)),
      retries_(retries), queuedPictures_(std::max<std::size_t>(queuedPictures, 1)) {
    health_.name = PublicOutputName(output_);
}

// ffmpeg names the output in its errors; a stream key must not reach the status line.
std::string OutputChannel::Redacted(std::string text) const {
    for (auto at = text.find(output_); !output_.empty() && at != std::string::npos;
         at = text.find(output_, at + health_.name.size()))
        text.replace(at, output_.size(), health_.name);
    // "URL: Connection refused" says no more than "Connection refused" beside the URL.
    if (text.starts_with(health_.name + ": ")) text.erase(0, health_.name.size() + 2);
    return text;
}

OutputChannel::~OutputChannel() {
    Close(Clock::now());
}

void OutputChannel::Start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void OutputChannel::SetState(OutputHealth::State state, std::string error) {
    std::lock_guard lock(mutex_);
    health_.state = state;
    if (!error.empty()) health_.error = std::move(error);
}

void OutputChannel::Put(const SharedPacket& packet) {
    {
        std::lock_guard lock(mutex_);
        // While it is down (retrying, failed) the show goes on without it.
        const bool taking = health_.state == OutputHealth::State::Starting ||
                            health_.state == OutputHealth::State::On;
        if (closing_ || !taking) return;
        const std::size_t room = flowing_ ? queuedPictures_ : queuedPictures_ * kStartingRoom;
        // The output lags: the oldest waiting pictures go, so what is sent stays recent.
        if (packet->picture && queuedPictureCount_ >= room) DropOldestPicture();
        if (queue_.size() >= room * (1 + kSoundPerPicture)) {
            if (queue_.front()->picture)
                DropOldestPicture();
            else
                queue_.pop_front();
        }
        if (packet->picture && awaitingKey_) {
            if (!packet->key) {
                ++health_.dropped;
                return;
            }
            awaitingKey_ = false;
        }
        queue_.push_back(packet);
        if (packet->picture) ++queuedPictureCount_;
    }
    changed_.notify_one();
}

// Leaves out the oldest waiting picture and those that depend on it, up to the next key
// picture. When no key picture waits, pictures are left out as they come until one does.
void OutputChannel::DropOldestPicture() {
    bool first = true;
    for (auto at = queue_.begin(); at != queue_.end();) {
        if (!(*at)->picture) {
            ++at;
            continue;
        }
        if (!first && (*at)->key) return;
        first = false;
        at = queue_.erase(at);
        --queuedPictureCount_;
        ++health_.dropped;
    }
    awaitingKey_ = true;
}

SharedPacket OutputChannel::Pop() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return closing_ || !queue_.empty(); });
    if (queue_.empty()) return nullptr;
    SharedPacket packet = std::move(queue_.front());
    queue_.pop_front();
    if (packet->picture) {
        --queuedPictureCount_;
        ++health_.pictures;
    }
    return packet;
}

bool OutputChannel::Feed() {
    if (!ffmpeg_.Write(header_.data(), header_.size())) return false;
    while (const SharedPacket packet = Pop()) {
        if (!ffmpeg_.Write(packet->bytes.data(), packet->bytes.size())) return false;
        if (packet->picture && !flowing_) {
            std::lock_guard lock(mutex_);
            flowing_ = true;
        }
    }
    return true;
}

void OutputChannel::Run() {
    auto wait = Clock::duration(kFirstRetry);
    for (;;) {
        std::string error;
        if (!ffmpeg_.Start(argv_, Subprocess::Pipe::ToChild, error)) {
            failedForGood_ = true;
            SetState(OutputHealth::State::Failed, error);
            break;
        }
        const auto started = Clock::now();
        SetState(OutputHealth::State::On);
        const bool fed = Feed();
        const int status = ffmpeg_.Finish();
        const std::string said = Redacted(LastLine(ffmpeg_.ErrorText()));
        if (fed) { // closed
            if (status == 0)
                SetState(OutputHealth::State::Finished);
            else
                SetState(OutputHealth::State::Failed,
                         said.empty() ? "ffmpeg could not finish the output" : said);
            failedForGood_ = status != 0;
            break;
        }
        std::unique_lock lock(mutex_);
        health_.error = said.empty() ? "ffmpeg stopped taking the stream" : said;
        queue_.clear();
        queuedPictureCount_ = 0;
        awaitingKey_ = true; // a new ffmpeg starts at a key picture
        if (!retries_ || closing_) {
            health_.state = OutputHealth::State::Failed;
            failedForGood_ = true;
            break;
        }
        health_.state = OutputHealth::State::Retrying;
        flowing_ = false;
        if (Clock::now() - started >= kRunThatCounts) wait = kFirstRetry;
        if (changed_.wait_for(lock, wait, [this] { return closing_; })) {
            health_.state = OutputHealth::State::Failed; // still down when the show ended
            failedForGood_ = true;
            break;
        }
        wait = std::min<Clock::duration>(wait * 2, kLongestRetry);
        ++health_.restarts;
        health_.state = OutputHealth::State::Starting;
    }
    std::lock_guard lock(mutex_);
    done_ = true;
    changed_.notify_all();
}

void OutputChannel::Finish() {
    std::lock_guard lock(mutex_);
    if (closing_) return;
    closing_ = true;
    // A lagging output is not kept waiting for its backlog: the pictures from the last key one
    // on (the last picture alone, when every picture is a key one) carry the stream to its end.
    const auto lastKey = std::find_if(queue_.rbegin(), queue_.rend(),
                                      [](const SharedPacket& p) { return p->picture && p->key; });
    if (lastKey != queue_.rend()) {
        const auto keep = std::prev(lastKey.base());
        const auto dropped =
            std::count_if(queue_.begin(), keep, [](const SharedPacket& p) { return p->picture; });
        queue_.erase(
            std::remove_if(queue_.begin(), keep, [](const SharedPacket& p) { return p->picture; }),
            keep);
        health_.dropped += static_cast<long>(dropped);
        queuedPictureCount_ -= static_cast<std::size_t>(dropped);
    }
    changed_.notify_all();
}

bool OutputChannel::Close(Clock::time_point deadline) {
    Finish();
    if (!thread_.joinable()) return !failedForGood_;
    {
        std::unique_lock lock(mutex_);
        // An ffmpeg that cannot finish in time (a receiver that stopped reading) is ended.
        if (!changed_.wait_until(lock, deadline, [this] { return done_; })) {
            health_.error = "ffmpeg did not finish in time";
            failedForGood_ = true;
            ffmpeg_.Kill();
        }
    }
    thread_.join();
    return !failedForGood_;
}

OutputHealth OutputChannel::Health() const {
    std::lock_guard lock(mutex_);
    return health_;
}

} // namespace hosting
