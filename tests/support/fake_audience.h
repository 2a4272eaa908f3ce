// A host's audience source for tests: owns the message records it hands out, records every call,
// and reports messages that were never released or released twice.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "askgame/audience.h"

class FakeAudience : public IAudienceSource {
public:
    FakeAudience() = default;
    FakeAudience(const FakeAudience&) = delete;
    FakeAudience& operator=(const FakeAudience&) = delete;
    ~FakeAudience();

    // Queues messages for the effect to take.
    AudienceMessage& Chat(std::uint32_t senderId, std::u16string_view name,
                          std::u16string_view text, std::uint32_t kind = AudienceKind::Text);
    AudienceMessage& Gift(std::uint32_t senderId, std::u16string_view name, std::uint16_t count,
                          std::uint16_t value);
    // Queues a null pointer in the pending list (hosts may hand those out).
    void NullEntry();

    // What the effect did.
    int startCalls = 0;
    int stopCalls = 0;
    int stateChanges = 0;
    std::vector<std::pair<int, int>> signals;
    int pendingListsHandedOut = 0;

    std::size_t Waiting() const { return queue_.size(); }
    std::size_t Outstanding() const; // handed out, not yet released
    int DoubleReleases() const { return doubleReleases_; }
    int ForeignReleases() const { return foreignReleases_; }
    // True when every message handed out so far came back exactly once and no list is still held.
    bool Balanced() const;

    // IAudienceSource
    std::shared_ptr<AudienceMessageList> GetPendingMessages() override;
    AudienceMessage* PopMessage() override;
    void ReleaseMessage(AudienceMessage* message) override;
    void NotifyStateChanged() override { ++stateChanges; }
    void Start() override { ++startCalls; }
    void Stop() override { ++stopCalls; }
    void Signal(int a, int b) override { signals.emplace_back(a, b); }

private:
    struct Record {
        AudienceMessage message{};
        std::u16string text;
        bool handedOut = false;
        bool released = false;
    };
    Record& Queue(std::uint32_t kind, std::uint32_t senderId, std::u16string_view name);

    std::vector<std::unique_ptr<Record>> records_;
    std::deque<Record*> queue_; // null entries stand for null pointers in the list
    std::vector<std::weak_ptr<AudienceMessageList>> lists_;
    int doubleReleases_ = 0;
    int foreignReleases_ = 0;
};
