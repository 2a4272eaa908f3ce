#include "season/season_recorder.h"

namespace season {

SeasonRecorder::SeasonRecorder(const std::string& path, const std::string& season,
                               const std::string& mode)
    : store_(path), show_(store_.BeginShow(season, mode, NowMs())),
      ignoredAtStart_(store_.IgnoredIn(season)), writer_([this] { WriteLoop(); }) {}

SeasonRecorder::~SeasonRecorder() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    writer_.join();
    try {
        store_.EndShow(show_, NowMs());
    } catch (const SqliteError&) {
        // The show's end time is a nicety; its events are already committed.
    }
}

void SeasonRecorder::Record(SeasonEvent event) {
    std::lock_guard lock(mutex_);
    if (queued_.size() + retrying_ >= kMaxQueuedEvents) {
        ++lost_;
        return;
    }
    queued_.push_back(std::move(event));
    ++recorded_;
    if (queued_.size() == 1) wake_.notify_one(); // the writer sleeps only while nothing waits
}

void SeasonRecorder::Flush() {
    std::unique_lock lock(mutex_);
    const std::size_t target = recorded_;
    flushWanted_ = true;
    wake_.notify_one();
    committed_.wait(lock, [&] { return attempted_ >= target; });
}

SinkHealth SeasonRecorder::Health() const {
    std::lock_guard lock(mutex_);
    return {retrying_, lost_, error_};
}

void SeasonRecorder::WriteLoop() {
    std::vector<SeasonEvent> batch; // refused events first, in the order they came
    auto lastCommit = std::chrono::steady_clock::now() - kCommitInterval;
    std::unique_lock lock(mutex_);
    for (;;) {
        // Asleep while there is nothing to write; then one commit an interval (a refused one
        // is retried more slowly), sooner when someone waits for it or the show ends.
        wake_.wait(lock,
                   [&] { return stopping_ || flushWanted_ || !batch.empty() || !queued_.empty(); });
        const auto spacing = batch.empty() ? kCommitInterval : kRetryInterval;
        wake_.wait_until(lock, lastCommit + spacing, [&] { return stopping_ || flushWanted_; });
        lastCommit = std::chrono::steady_clock::now();
        flushWanted_ = false;
        if (queued_.empty() && batch.empty() && stopping_) return;
        const bool last = stopping_;
        batch.insert(batch.end(), std::make_move_iterator(queued_.begin()),
                     std::make_move_iterator(queued_.end()));
        queued_.clear();
        const std::size_t through = recorded_;
        lock.unlock();
        std::string failure;
        try {
            if (!batch.empty()) store_.Write(show_, batch);
        } catch (const SqliteError& e) {
            failure = e.what();
        }
        lock.lock();
        attempted_ = through;
        if (failure.empty()) {
            batch.clear();
            error_.clear();
        } else {
            error_ = failure;
            // Kept for the next interval, unless the show is over.
            if (last) {
                lost_ += batch.size();
                batch.clear();
            }
        }
        retrying_ = batch.size();
        committed_.notify_all();
        if (last && batch.empty() && queued_.empty()) return;
    }
}

} // namespace season
