// Records one show into a season file without ever making the caller wait on the disk: events
// are queued in memory and a writer thread commits them as they come, everything queued in one
// commit, at most one commit per `kCommitInterval`. A host killed mid-show loses at most the
// events of the last interval and of the commit under way; an idle show costs no wake-ups. A
// commit the file refuses (a full disk) is tried again every `kRetryInterval` with what came
// since, the events kept in memory up to kMaxQueuedEvents; only beyond that, or when the show
// ends still failing, are events lost.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "season/season_store.h"

namespace season {

inline constexpr std::chrono::milliseconds kCommitInterval{50};
inline constexpr std::chrono::milliseconds kRetryInterval{250};
// Events waiting for the writer beyond this many are dropped and counted, so a stalled disk
// cannot grow the host's memory without bound.
inline constexpr std::size_t kMaxQueuedEvents = 1 << 20;

class SeasonRecorder final : public SeasonEventSink {
public:
    // Opens the store and begins a show of `mode` in `season`. Throws `SqliteError` when the
    // file cannot be used.
    SeasonRecorder(const std::string& path, const std::string& season, const std::string& mode);
    SeasonRecorder(const SeasonRecorder&) = delete;
    SeasonRecorder& operator=(const SeasonRecorder&) = delete;
    // Commits what is still queued and ends the show.
    ~SeasonRecorder();

    // Queues one event; any thread, never blocks on the disk.
    void Record(SeasonEvent event) override;
    // Waits until everything recorded so far was committed, or tried and refused.
    void Flush();

    // Lost: dropped from a full queue or still refused when the show ended. Waiting: refused,
    // to be tried again.
    SinkHealth Health() const override;
    // The viewers the season ignored when the show began.
    const std::vector<IgnoredViewer>& IgnoredAtStart() const { return ignoredAtStart_; }

private:
    void WriteLoop();

    SeasonStore store_;
    std::int64_t show_;
    std::vector<IgnoredViewer> ignoredAtStart_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable committed_;
    std::vector<SeasonEvent> queued_;
    std::size_t recorded_ = 0;  // events accepted, ever
    std::size_t attempted_ = 0; // of those, in a commit tried (taken or refused)
    std::size_t retrying_ = 0;  // refused, waiting to be tried again
    std::size_t lost_ = 0;
    std::string error_;
    bool flushWanted_ = false;
    bool stopping_ = false;
    std::thread writer_;
};

} // namespace season
