// The library's one audience room: the challenge game's tracker and the host's audience source it
// reads, shared by every challenge effect of the process.
//
// Two live challenge effects show one game: the same players, counts and open question, fed by
// the audience source bound last (binding starts a fresh room, and the source bound before is no
// longer read). The room has its own lock, taken after an effect's lock and never before it.
// Nothing calls into the host under either lock: the tracker talks to a stand-in source that
// records its calls, and the caller plays them to the real source once it has let go of both
// locks. Destroying the effect that bound the source forgets the source and the room with it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "askgame/audience.h"
#include "game/audience_tracker.h"

// What the tracker asked of the host while the room was locked, to be done after unlocking. It
// holds a lease on the source: the room does not let that source go while a lease is out.
class HostCalls {
public:
    HostCalls() = default;
    HostCalls(HostCalls&& other) noexcept { *this = std::move(other); }
    HostCalls& operator=(HostCalls&& other) noexcept;
    ~HostCalls(); // plays whatever is left, then returns the lease

    IAudienceSource* Source() const { return source_; }
    // Plays the recorded calls to the source, in the order start, releases, state changes,
    // signals; then nothing is left to play. Exceptions from the host are not caught here.
    void Play();

private:
    friend class LibraryRoom;
    struct Recorded {
        int starts = 0;
        int stateChanges = 0;
        int signals = 0;
        std::vector<AudienceMessage*> releases;
    };

    void ReturnLease();

    class LibraryRoom* room_ = nullptr;
    IAudienceSource* source_ = nullptr;
    Recorded recorded_;
};

class LibraryRoom {
public:
    static LibraryRoom& Instance();

    // Holds the room locked for one caller; the tracker is null while no source was bound.
    class Access {
    public:
        CAudienceTracker* tracker() const { return room_.tracker_.get(); }
        // Hands `list` (fetched from the leased source beforehand) to the tracker's next
        // GetPendingMessages; whatever the tracker does not take is released when the calls are
        // collected.
        void OfferPending(std::shared_ptr<AudienceMessageList> list);
        // The recorded calls for the source of `calls`; they are played after unlocking.
        void CollectInto(HostCalls& calls);

    private:
        friend class LibraryRoom;
        explicit Access(LibraryRoom& room) : room_(room), lock_(room.mutex_) {}
        LibraryRoom& room_;
        std::unique_lock<std::mutex> lock_;
    };

    Access Lock() { return Access(*this); }
    // A lease on the current source (null when there is none), for calls made outside the lock.
    HostCalls Lease();
    // A fresh room around `source` (null allowed), bound on behalf of `binder`. Waits until no
    // lease on the previous source is out. The returned calls start the new source. Refused,
    // changing nothing, while this thread is inside a challenge effect's call.
    HostCalls Bind(const void* binder, IAudienceSource* source);
    // Forgets the source and the room when `binder` bound them, once no lease is out; refused
    // while this thread is inside a challenge effect's call (see CallInProgressHere).
    void Unbind(const void* binder);
    // Forgets the source and the room whoever bound them.
    void Drop();

    // Whether this thread is inside a challenge effect's call (it holds a lease): then Bind, and
    // Unbind for the effect that bound the room, would wait for that call to end, which cannot
    // happen while this thread waits. Both refuse instead and say so in a trace.
    static bool CallInProgressHere() { return leasesHere_ > 0; }
    // Whether Unbind(binder) would have to wait on this thread's own call.
    bool UnbindWouldWaitHere(const void* binder);

private:
    friend class HostCalls;
    // The source the tracker sees: it records every call instead of making it.
    class RecordingSource : public IAudienceSource {
    public:
        std::shared_ptr<AudienceMessageList> GetPendingMessages() override;
        AudienceMessage* PopMessage() override { return nullptr; }
        void ReleaseMessage(AudienceMessage* message) override;
        void NotifyStateChanged() override { ++recorded.stateChanges; }
        void Start() override { ++recorded.starts; }
        void Stop() override {}
        void Signal(int, int) override { ++recorded.signals; }

        std::shared_ptr<AudienceMessageList> offered;
        HostCalls::Recorded recorded;
    };

    void WaitForLeases(std::unique_lock<std::mutex>& lock);
    void ReturnLease();

    static thread_local int leasesHere_; // leases held by calls running on this thread

    std::mutex mutex_;
    std::condition_variable leasesReturned_;
    std::size_t leases_ = 0;
    RecordingSource recorder_;
    IAudienceSource* source_ = nullptr; // the host's, not owned
    const void* binder_ = nullptr;
    std::unique_ptr<CAudienceTracker> tracker_;
};
