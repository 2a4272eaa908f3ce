// The host's user-interface thread: the one thread on which the panel is made, notified and
// read, and on which message boxes are shown. Other threads hand it work and may wait for the
// result.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace show {

class UiThread {
public:
    static constexpr std::size_t kDefaultCapacity = 1024;

    // Starts the thread. At most `capacity` tasks wait at once.
    explicit UiThread(std::size_t capacity = kDefaultCapacity);
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;
    // Stop().
    ~UiThread();

    // Queues `task` to run on the thread. False when the thread is stopping or the queue full.
    bool Post(std::function<void()> task);
    // Runs `task` on the thread and waits until it has run. Called on the thread itself, runs
    // it there and then. False when it could not be queued (and so did not run).
    bool Call(const std::function<void()>& task);
    // Call() for a task with a result: the result, or nothing when the task did not run.
    template <typename F, typename R = std::invoke_result_t<F>>
    std::optional<R> Invoke(F&& task) {
        std::optional<R> result;
        if (!Call([&] { result.emplace(task()); })) return std::nullopt;
        return result;
    }

    // Runs every task already queued, then ends the thread; later tasks are refused. Idempotent.
    void Stop();
    bool OnThisThread() const;

private:
    void Loop();

    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::mutex joinMutex_;
    std::thread thread_;
    std::thread::id threadId_;
};

} // namespace show
