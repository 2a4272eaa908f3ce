#include "game/library_room.h"

#include "platform/debug.h"

namespace {

constexpr char kRefusedRebind[] =
    "askgame: the audience source cannot change from inside the plug-in's own call into the "
    "host; it stays as it was";
constexpr char kRefusedUnbind[] =
    "askgame: a challenge effect destroyed from inside the plug-in's own call into the host "
    "leaves its audience source bound";

} // namespace

thread_local int LibraryRoom::leasesHere_ = 0;

// ---- HostCalls ----

HostCalls& HostCalls::operator=(HostCalls&& other) noexcept {
    if (this == &other) return *this;
    ReturnLease();
    room_ = std::exchange(other.room_, nullptr);
    source_ = std::exchange(other.source_, nullptr);
    recorded_ = std::exchange(other.recorded_, {});
    return *this;
}

HostCalls::~HostCalls() {
    try {
        Play();
    } catch (...) {
        // A host that throws from its own callbacks gets no further calls from this batch.
    }
    ReturnLease();
}

void HostCalls::Play() {
    Recorded calls = std::exchange(recorded_, {});
    if (!source_) return;
    for (; calls.starts > 0; --calls.starts)
        source_->Start();
    for (AudienceMessage* message : calls.releases)
        source_->ReleaseMessage(message);
    for (; calls.stateChanges > 0; --calls.stateChanges)
        source_->NotifyStateChanged();
    for (; calls.signals > 0; --calls.signals)
        source_->Signal(1, 1);
}

void HostCalls::ReturnLease() {
    if (room_) std::exchange(room_, nullptr)->ReturnLease();
    source_ = nullptr;
}

// ---- LibraryRoom ----

LibraryRoom& LibraryRoom::Instance() {
    static LibraryRoom room;
    return room;
}

std::shared_ptr<AudienceMessageList> LibraryRoom::RecordingSource::GetPendingMessages() {
    return std::exchange(offered, nullptr);
}

void LibraryRoom::RecordingSource::ReleaseMessage(AudienceMessage* message) {
    if (message) recorded.releases.push_back(message);
}

void LibraryRoom::Access::OfferPending(std::shared_ptr<AudienceMessageList> list) {
    room_.recorder_.offered = std::move(list);
}

void LibraryRoom::Access::CollectInto(HostCalls& calls) {
    RecordingSource& recorder = room_.recorder_;
    // A list nobody took (the round changed while it was fetched) is handed back whole.
    if (const auto untaken = std::exchange(recorder.offered, nullptr))
        for (AudienceMessage* message : *untaken)
            recorder.ReleaseMessage(message);
    HostCalls::Recorded& into = calls.recorded_;
    into.starts += recorder.recorded.starts;
    into.stateChanges += recorder.recorded.stateChanges;
    into.signals += recorder.recorded.signals;
    into.releases.insert(into.releases.end(), recorder.recorded.releases.begin(),
                         recorder.recorded.releases.end());
    recorder.recorded = {};
}

HostCalls LibraryRoom::Lease() {
    const std::lock_guard lock(mutex_);
    HostCalls calls;
    if (!source_) return calls;
    ++leases_;
    ++leasesHere_;
    calls.room_ = this;
    calls.source_ = source_;
    return calls;
}

void LibraryRoom::ReturnLease() {
    --leasesHere_;
    const std::lock_guard lock(mutex_);
    if (--leases_ == 0) leasesReturned_.notify_all();
}

void LibraryRoom::WaitForLeases(std::unique_lock<std::mutex>& lock) {
    leasesReturned_.wait(lock, [this] { return leases_ == 0; });
}

HostCalls LibraryRoom::Bind(const void* binder, IAudienceSource* source) {
    if (CallInProgressHere()) {
        OutputDebugStringA(kRefusedRebind);
        return {};
    }
    std::unique_lock lock(mutex_);
    WaitForLeases(lock);
    tracker_.reset(); // the old room goes before the new one starts the source
    recorder_ = {};
    source_ = source;
    binder_ = binder;
    tracker_ = std::make_unique<CAudienceTracker>(&recorder_);
    tracker_->SetQuestionOpen(false);
    HostCalls calls;
    if (source_) {
        ++leases_;
        ++leasesHere_;
        calls.room_ = this;
        calls.source_ = source_;
    }
    calls.recorded_ = std::exchange(recorder_.recorded, {});
    return calls;
}

bool LibraryRoom::UnbindWouldWaitHere(const void* binder) {
    const std::lock_guard lock(mutex_);
    return binder && binder_ == binder && CallInProgressHere();
}

void LibraryRoom::Unbind(const void* binder) {
    std::unique_lock lock(mutex_);
    if (binder_ != binder || !binder) return;
    if (CallInProgressHere()) {
        OutputDebugStringA(kRefusedUnbind);
        return;
    }
    WaitForLeases(lock);
    if (binder_ != binder) return;
    tracker_.reset();
    recorder_ = {};
    source_ = nullptr;
    binder_ = nullptr;
}

void LibraryRoom::Drop() {
    if (CallInProgressHere()) {
        OutputDebugStringA(kRefusedRebind);
        return;
    }
    std::unique_lock lock(mutex_);
    WaitForLeases(lock);
    tracker_.reset();
    recorder_ = {};
    source_ = nullptr;
    binder_ = nullptr;
}
