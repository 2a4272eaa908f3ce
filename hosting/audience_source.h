// The host's audience: viewers' chat and gifts queued as message records, handed to the effect
// through IAudienceSource and taken back again, with every step checked and written down.
//
// The source owns every record it made until it is destroyed, so a text handed out stays alive
// however the effect treats it. A record is handed out once, either by PopMessage or in a list
// from GetPendingMessages, and must come back through ReleaseMessage exactly once. A release of
// something never handed out, a second release, and (at Finish) a record never released are the
// plug-in's faults: each becomes a host error in the transcript.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "askgame/audience.h"
#include "hosting/lent_list.h"
#include "hosting/transcript.h"

namespace hosting {

class HostAudienceSource final : public IAudienceSource {
public:
    explicit HostAudienceSource(Transcript& transcript);
    HostAudienceSource(const HostAudienceSource&) = delete;
    HostAudienceSource& operator=(const HostAudienceSource&) = delete;
    ~HostAudienceSource();

    // ---- What viewers send (queued until the effect takes it)
    void QueueChat(std::uint32_t senderId, std::u16string_view name, std::u16string_view text,
                   std::uint32_t kind = AudienceKind::Text);
    void QueueGift(std::uint32_t senderId, std::u16string_view name, std::uint16_t count,
                   std::uint16_t value);

    // Runs for every message the moment the effect takes it.
    void SetHandOutObserver(std::function<void(const AudienceMessage&)> observer);

    // Signals from the effect not yet answered with a "GameNotify" to the panel. A real host
    // posts that notification to its window, so it is delivered after the effect's call returns.
    int TakePendingSignals();

    // Checks what is still out: every message handed out and never released and every list
    // still held by the effect is a host error. Call once the effect is done with the source.
    void Finish();

    std::size_t Waiting() const { return queue_.size(); }
    std::size_t Outstanding() const;

    // ---- IAudienceSource
    std::shared_ptr<AudienceMessageList> GetPendingMessages() override;
    AudienceMessage* PopMessage() override;
    void ReleaseMessage(AudienceMessage* message) override;
    void NotifyStateChanged() override;
    void Start() override;
    void Stop() override;
    void Signal(int a, int b) override;

private:
    enum class State { Queued, HandedOut, Released };
    struct Record {
        AudienceMessage message{};
        std::u16string text;
        State state = State::Queued;
        long serial = 0;
    };

    Record& NewRecord(std::uint32_t kind, std::uint32_t senderId, std::u16string_view name);
    void HandOut(Record& record);
    std::string Describe(const Record& record) const;

    Transcript& transcript_;
    std::vector<std::unique_ptr<Record>> records_;
    std::unordered_map<const AudienceMessage*, Record*> byAddress_;
    std::deque<Record*> queue_;
    // Every list handed out; one the effect no longer holds is refilled, so handing out a list
    // allocates only when the effect keeps more lists than ever before.
    std::vector<std::unique_ptr<LentList>> lists_;
    AudienceMessageList spareNodes_; // list nodes kept from refilled lists, to be spliced back
    std::function<void(const AudienceMessage&)> observer_;
    int pendingSignals_ = 0;
    bool finished_ = false;
};

// The viewer's name as UTF-8, read within the record's fixed field.
std::string SenderNameUtf8(const AudienceMessage& message);

} // namespace hosting
