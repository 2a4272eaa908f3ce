#include "hosting/png_sequence.h"

#include <algorithm>
#include <cstdio>

#include "hosting/png_still.h"

namespace hosting {

namespace {

// Buffers per writer: one being compressed, one filled meanwhile.
constexpr unsigned kSlotsPerWriter = 2;

unsigned WriterCount(unsigned asked) {
    return asked > 0 ? asked : std::max(1u, std::thread::hardware_concurrency());
}

} // namespace

PngSequenceSink::PngSequenceSink(std::string folder, unsigned writers)
    : folder_(std::move(folder)) {
    const unsigned threads = WriterCount(writers);
    slots_.resize(std::size_t{threads} * kSlotsPerWriter);
    queued_.resize(slots_.size());
    for (std::size_t i = slots_.size(); i-- > 0;)
        free_.push_back(i);
    for (unsigned i = 0; i < threads; ++i)
        writers_.emplace_back([this] { WriteUntilClosed(); });
}

PngSequenceSink::~PngSequenceSink() {
    std::string ignored;
    Close(ignored);
}

bool PngSequenceSink::Put(const Frame& frame) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty() || !error_.empty() || closing_; });
    if (!error_.empty() || closing_) return false;
    const std::size_t index = free_.back();
    free_.pop_back();
    Slot& slot = slots_[index];
    slot.number = ++count_;
    lock.unlock();

    // Only this thread touches a slot between taking it from the free list and queueing it.
    slot.frame.width = frame.width;
    slot.frame.height = frame.height;
    slot.frame.pixels.assign(frame.pixels.begin(), frame.pixels.end());

    lock.lock();
    queued_[(head_ + waiting_++) % queued_.size()] = index;
    changed_.notify_all();
    return true;
}

void PngSequenceSink::WriteUntilClosed() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return waiting_ > 0 || closing_; });
        if (waiting_ == 0) return; // closing, and nothing left to write
        const std::size_t index = queued_[head_];
        head_ = (head_ + 1) % queued_.size();
        --waiting_;
        lock.unlock();

        std::string error;
        const bool written = WritePng(slots_[index].frame, PathOf(slots_[index].number), &error);

        lock.lock();
        if (!written && error_.empty()) error_ = error;
        free_.push_back(index);
        changed_.notify_all();
    }
}

bool PngSequenceSink::Close(std::string& error) {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    for (auto& writer : writers_)
        writer.join();
    writers_.clear();
    error = error_;
    return error_.empty();
}

std::string PngSequenceSink::PathOf(long number) const {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06ld.png", number);
    return folder_ + name;
}

} // namespace hosting
