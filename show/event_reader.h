// Reads live events as JSON lines (one event per line, see live_events.h) from a file or a pipe
// on a thread of its own and hands each to the show: viewers' events as offers, presenter
// actions on the panel. A line that cannot be read is reported and skipped; a full queue makes
// the reader wait, so a file of events is never thinned out. The lines keep their order: a
// presenter's action waits until the game has judged the viewers' events before it, so a chat
// is judged against the question it followed.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "show/show_control.h"

namespace show {

class EventReader {
public:
    // "file:LINE: reason" for every line that was skipped, called on the reader's thread.
    using Reporter = std::function<void(const std::string&)>;

    // Opens `path` ("-" for standard input): a file, a FIFO or a socket, not a device. Null, with
    // the reason in `error`, when it cannot be opened. Relative bank paths in the events start
    // from the file's folder.
    static std::unique_ptr<EventReader> Open(const std::string& path, ShowControl& control,
                                             Reporter report, std::string& error);
    // Reads from `fd`, which the reader closes when `owned`.
    EventReader(int fd, bool owned, std::string name, std::string baseDir, ShowControl& control,
                Reporter report);
    EventReader(const EventReader&) = delete;
    EventReader& operator=(const EventReader&) = delete;
    // Stop().
    ~EventReader();

    void Start();
    // Stops reading (within a tenth of a second) and waits for the thread. Idempotent.
    void Stop();
    // The end of the input was reached and every line handed on.
    bool Finished() const { return finished_; }

    std::size_t Delivered() const { return delivered_; }
    std::size_t Skipped() const { return skipped_; }

private:
    void Loop();
    void HandleLine(std::string_view line, long number);
    // Hands one event on, waiting while the queue is full. False when stopped meanwhile.
    bool Deliver(const hosting::ScenarioEvent& event, std::string& reason);

    int fd_;
    bool owned_;
    std::string name_;
    std::string baseDir_;
    ShowControl& control_;
    Reporter report_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::atomic<std::size_t> delivered_{0};
    std::atomic<std::size_t> skipped_{0};
    std::uint64_t lastViewerTicket_ = 0; // the reader's thread only
    std::thread thread_;
};

} // namespace show
