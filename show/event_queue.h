// A bounded queue between threads: producers (HTTP handlers, the event reader) offer items and
// are refused when it is full; one consumer takes everything waiting in one go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace show {

template <typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(std::size_t capacity) : capacity_(capacity) {}
    BoundedQueue(const BoundedQueue&) = delete;
    BoundedQueue& operator=(const BoundedQueue&) = delete;

    // Adds `item` at the back. False, and nothing is kept, when the queue is full. `place`, if
    // given, gets the item's place among all ever accepted, from 1.
    bool TryPush(T item, std::uint64_t* place = nullptr) {
        std::lock_guard lock(mutex_);
        if (items_.size() >= capacity_) {
            ++refused_;
            return false;
        }
        items_.push_back(std::move(item));
        ++accepted_;
        if (place) *place = accepted_;
        return true;
    }

    // Moves up to `max` items from the front to the end of `out`, in order; returns how many.
    std::size_t DrainInto(std::vector<T>& out, std::size_t max) {
        std::lock_guard lock(mutex_);
        const std::size_t n = std::min(max, items_.size());
        for (std::size_t i = 0; i < n; ++i) {
            out.push_back(std::move(items_.front()));
            items_.pop_front();
        }
        taken_ += n;
        return n;
    }

    std::size_t Size() const {
        std::lock_guard lock(mutex_);
        return items_.size();
    }
    std::size_t Capacity() const { return capacity_; }
    std::uint64_t Accepted() const {
        std::lock_guard lock(mutex_);
        return accepted_;
    }
    std::uint64_t Refused() const {
        std::lock_guard lock(mutex_);
        return refused_;
    }
    // How many items were ever taken out: the place of the last one taken.
    std::uint64_t Taken() const {
        std::lock_guard lock(mutex_);
        return taken_;
    }

private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::deque<T> items_;
    std::uint64_t accepted_ = 0;
    std::uint64_t refused_ = 0;
    std::uint64_t taken_ = 0;
};

} // namespace show
