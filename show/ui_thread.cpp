#include "show/ui_thread.h"

#include <future>

namespace show {

UiThread::UiThread(std::size_t capacity) : capacity_(capacity), thread_([this] { Loop(); }) {
    threadId_ = thread_.get_id();
}

UiThread::~UiThread() {
    Stop();
}

bool UiThread::Post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || tasks_.size() >= capacity_) return false;
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
    return true;
}

bool UiThread::Call(const std::function<void()>& task) {
    if (OnThisThread()) {
        task();
        return true;
    }
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    // The task runs inside the wrapper so that an exception it throws stays on the UI thread
    // and comes back to the caller through the future.
    const bool queued = Post([&task, &done] {
        try {
            task();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    if (!queued) return false;
    finished.get();
    return true;
}

void UiThread::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (OnThisThread()) return; // the loop ends once this task returns; the owner joins it
    std::lock_guard join(joinMutex_);
    if (thread_.joinable()) thread_.join();
}

bool UiThread::OnThisThread() const {
    return std::this_thread::get_id() == threadId_;
}

void UiThread::Loop() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) return; // stopping, and nothing left to run
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        // A posted task has no one to hand an exception to; it must not end the thread.
        try {
            task();
        } catch (...) {
        }
    }
}

} // namespace show
