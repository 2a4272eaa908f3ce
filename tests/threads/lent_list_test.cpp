// The host's audience source lends message lists to effects on several video threads and refills
// a list once its effect has let go of it. Each effect reads its list with no lock held (as the
// challenge game's room does), so the refill must be ordered after those reads, not merely
// observed to follow them: ThreadSanitizer reports the refill as a race when it is not.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "askgame/audience.h"
#include "hosting/audience_source.h"
#include "hosting/transcript.h"

namespace {

constexpr int kRounds = 3000;
// The effects go on past kRounds until they have read this many messages between them, so that
// the viewers' thread, however late the scheduler starts it, has lists refilled under their reads.
constexpr long kMinimumRead = 1000;

TEST(LentLists, AListIsRefilledOnlyAfterItsEffectsLastRead) {
    hosting::Transcript transcript;
    hosting::HostAudienceSource source(transcript);
    std::mutex hostLock; // the host's lock around its source
    std::atomic<bool> stop{false};
    std::atomic<long> read{0};

    std::thread viewers([&] {
        for (std::uint32_t id = 1; !stop; ++id) {
            const std::lock_guard lock(hostLock);
            source.QueueChat(id, u"viewer", u"A");
        }
    });
    auto effect = [&] {
        for (int round = 0; round < kRounds || read < kMinimumRead; ++round) {
            std::shared_ptr<AudienceMessageList> list;
            {
                const std::lock_guard lock(hostLock);
                list = source.GetPendingMessages();
            }
            std::vector<AudienceMessage*> taken(list->begin(), list->end()); // unlocked reads
            list.reset();
            read += static_cast<long>(taken.size());
            const std::lock_guard lock(hostLock);
            for (AudienceMessage* message : taken)
                source.ReleaseMessage(message);
        }
    };
    std::thread first(effect), second(effect);
    first.join();
    second.join();
    stop = true;
    viewers.join();

    const std::lock_guard lock(hostLock);
    for (AudienceMessage* message : *source.GetPendingMessages())
        source.ReleaseMessage(message);
    source.Finish();
    EXPECT_GE(read, kMinimumRead);
    EXPECT_EQ(transcript.HostErrorCount(), 0);
}

// A list still held when the source goes away is reported, and the effect may still read it and
// let go of it afterwards without touching freed memory.
TEST(LentLists, AListHeldPastTheSourceStaysReadable) {
    hosting::Transcript transcript;
    std::shared_ptr<AudienceMessageList> held;
    {
        hosting::HostAudienceSource source(transcript);
        held = source.GetPendingMessages();
        source.Finish();
    }
    EXPECT_EQ(transcript.HostErrorCount(), 1);
    EXPECT_TRUE(held->empty());
    held.reset();
}

} // namespace
