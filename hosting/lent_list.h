// A message list the host lends to the effect and refills once the effect lets go of it.
//
// "Every copy of the shared_ptr is gone" cannot be learnt from use_count(): that read is relaxed,
// so the effect's last reads of the list would not happen before the host's next writes to it.
// Instead each loan is a new shared_ptr whose control block is built in the slot's own storage
// (lending allocates nothing), and the slot is free again when that block is given back: a
// release store that Lent() reads with acquire. A list still lent when the host lets go of it
// (Abandon) frees itself when the effect lets go in turn.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <new>

#include "askgame/audience.h"

namespace hosting {

class LentList {
public:
    LentList() = default;
    LentList(const LentList&) = delete;
    LentList& operator=(const LentList&) = delete;

    // True while a copy of the last loan is alive anywhere.
    bool Lent() const { return state_.load(std::memory_order_acquire) == State::Lent; }

    // The list itself, to refill while it is not lent.
    AudienceMessageList& List() { return list_; }

    // A new loan of the list. Only while !Lent().
    std::shared_ptr<AudienceMessageList> Lend() {
        state_.store(State::Lent, std::memory_order_relaxed);
        return std::shared_ptr<AudienceMessageList>(
            &list_, [](AudienceMessageList*) {}, BlockAllocator<std::byte>{this});
    }

    // The host's last word on a list it made with new: deletes it, or leaves that to the effect's
    // release if a loan is still alive.
    static void Abandon(std::unique_ptr<LentList> list) {
        if (list->state_.exchange(State::Abandoned, std::memory_order_acq_rel) == State::Lent)
            static_cast<void>(list.release());
    }

private:
    enum class State { Free, Lent, Abandoned };

    // Large enough for libstdc++'s and libc++'s control block with an empty deleter and this
    // allocator; a larger one fails to compile rather than fall back to the heap.
    static constexpr std::size_t kBlockBytes = 64;

    template <class T>
    struct BlockAllocator {
        using value_type = T;
        LentList* slot;

        explicit BlockAllocator(LentList* owner) : slot(owner) {}
        template <class U>
        BlockAllocator(const BlockAllocator<U>& other) : slot(other.slot) {}

        T* allocate(std::size_t n) {
            static_assert(sizeof(T) <= kBlockBytes && alignof(T) <= alignof(std::max_align_t));
            if (n != 1) throw std::bad_alloc();
            return reinterpret_cast<T*>(slot->block_);
        }
        // The last step of the control block's release: nothing touches the block after it.
        void deallocate(T*, std::size_t) noexcept {
            if (slot->state_.exchange(State::Free, std::memory_order_acq_rel) == State::Abandoned)
                delete slot;
        }
        template <class U>
        bool operator==(const BlockAllocator<U>& other) const {
            return slot == other.slot;
        }
    };

    AudienceMessageList list_;
    alignas(std::max_align_t) std::byte block_[kBlockBytes];
    std::atomic<State> state_{State::Free};
};

} // namespace hosting
