#include "show/event_reader.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "show/live_events.h"

namespace show {

namespace {

constexpr int kPollMilliseconds = 100;
constexpr auto kFullQueueWait = std::chrono::milliseconds(10);
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr auto kNoDeadline = std::chrono::steady_clock::time_point::max();

// Why an opened file cannot be a stream of events, or null when it can: a regular file, a FIFO,
// a socket or a terminal. A device such as /dev/zero would feed the reader without end.
const char* RefusedKind(int fd) {
    struct stat about {};
    if (::fstat(fd, &about) != 0) return "a file whose kind cannot be told";
    if (S_ISREG(about.st_mode) || S_ISFIFO(about.st_mode) || S_ISSOCK(about.st_mode))
        return nullptr;
    if (S_ISDIR(about.st_mode)) return "a folder";
    if (S_ISCHR(about.st_mode) && ::isatty(fd)) return nullptr;
    return "a device";
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

} // namespace

std::unique_ptr<EventReader> EventReader::Open(const std::string& path, ShowControl& control,
                                               Reporter report, std::string& error) {
    if (path == "-")
        return std::make_unique<EventReader>(STDIN_FILENO, false, "stdin", "", control,
                                             std::move(report));
    // Opened without waiting: a FIFO with no writer yet must not hold the show up. The reader's
    // poll then waits for the writer, and reads on once one comes.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = path + ": cannot open the events file (" + std::strerror(errno) + ")";
        return nullptr;
    }
    if (const char* kind = RefusedKind(fd)) {
        ::close(fd);
        error = path + ": the events file is " + kind +
                "; give a file of events, a FIFO, or - for standard input";
        return nullptr;
    }
    return std::make_unique<EventReader>(fd, true, path, FolderOf(path), control,
                                         std::move(report));
}

EventReader::EventReader(int fd, bool owned, std::string name, std::string baseDir,
                         ShowControl& control, Reporter report)
    : fd_(fd), owned_(owned), name_(std::move(name)), baseDir_(std::move(baseDir)),
      control_(control), report_(std::move(report)) {}

EventReader::~EventReader() {
    Stop();
    if (owned_) ::close(fd_);
}

void EventReader::Start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
}

void EventReader::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void EventReader::Loop() {
    std::string pending;   // the start of a line whose end has not arrived yet
    bool overlong = false; // the current line passed the cap; skip to its end
    long number = 0;
    std::string chunk(kReadChunk, '\0');
    while (!stop_) {
        pollfd ready{fd_, POLLIN, 0};
        const int polled = ::poll(&ready, 1, kPollMilliseconds);
        if (polled < 0 && errno != EINTR) break;
        if (polled <= 0) continue;
        const ssize_t got = ::read(fd_, chunk.data(), chunk.size());
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) break; // end of input, or a read error: nothing more will come
        std::string_view data(chunk.data(), static_cast<std::size_t>(got));
        while (!data.empty() && !stop_) {
            const auto newline = data.find('\n');
            const std::string_view piece = data.substr(0, newline);
            if (!overlong) pending.append(piece);
            if (pending.size() > kMaxEventBytes) {
                overlong = true;
                pending.clear();
            }
            if (newline == std::string_view::npos) break;
            data.remove_prefix(newline + 1);
            ++number;
            if (overlong) {
                ++skipped_;
                if (report_)
                    report_(name_ + ":" + std::to_string(number) + ": the line is longer than " +
                            std::to_string(kMaxEventBytes) + " bytes");
            } else {
                HandleLine(pending, number);
            }
            pending.clear();
            overlong = false;
        }
    }
    if (!stop_ && !overlong && !pending.empty()) HandleLine(pending, ++number);
    finished_ = !stop_;
}

void EventReader::HandleLine(std::string_view line, long number) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) return; // blank line
    ParsedEvent parsed = ParseEventLine(line, baseDir_);
    std::string reason;
    if (parsed.event && Deliver(*parsed.event, reason)) {
        ++delivered_;
        return;
    }
    if (stop_) return;
    ++skipped_;
    if (report_)
        report_(name_ + ":" + std::to_string(number) + ": " +
                (parsed.event ? reason : parsed.error));
}

bool EventReader::Deliver(const hosting::ScenarioEvent& event, std::string& reason) {
    const bool viewer = SourceOf(event) == EventSource::Viewer;
    // The viewers' events before a presenter's action are judged first, as the file has it. The
    // wait ends early when the reader stops (nothing more is done) or the show ends (the action
    // is then refused as the show's).
    if (!viewer && lastViewerTicket_ > 0) {
        control_.WaitUntilJudged(lastViewerTicket_, stop_, kNoDeadline);
        if (stop_) return false;
    }
    for (;;) {
        const Delivery delivery =
            viewer ? control_.OfferViewerEvent(event) : control_.ApplyPresenterAction(event);
        if (delivery.Ok()) {
            if (viewer) lastViewerTicket_ = std::max(lastViewerTicket_, delivery.ticket);
            return true;
        }
        if (delivery.result != Delivery::Result::Full || stop_) {
            reason = delivery.reason;
            return false;
        }
        std::this_thread::sleep_for(kFullQueueWait);
    }
}

} // namespace show
