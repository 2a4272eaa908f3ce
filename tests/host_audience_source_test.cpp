// The host's audience source: messages are handed out once, come back once, and every breach
// of that is written down as a host error.
#include <gtest/gtest.h>

#include <vector>

#include "hosting/audience_source.h"

namespace {

using hosting::HostAudienceSource;
using hosting::Transcript;

TEST(HostAudienceSource, PopHandsOutEachMessageOnceInOrderWithItsFields) {
    Transcript transcript;
    HostAudienceSource source(transcript);
    source.QueueGift(7, u"王小明", 5, 10);
    source.QueueChat(8, u"Emma", u"B", AudienceKind::FreeText);

    AudienceMessage* gift = source.PopMessage();
    AudienceMessage* chat = source.PopMessage();
    ASSERT_NE(gift, nullptr);
    ASSERT_NE(chat, nullptr);
    EXPECT_EQ(source.PopMessage(), nullptr);

    EXPECT_EQ(gift->type, AudienceKind::Gift);
    EXPECT_EQ(gift->senderId, 7u);
    EXPECT_EQ(std::u16string(gift->senderName), u"王小明");
    EXPECT_EQ(gift->giftCount * gift->giftValue, 50);
    EXPECT_EQ(chat->type, AudienceKind::FreeText);
    EXPECT_EQ(std::u16string(chat->text), u"B");

    source.ReleaseMessage(gift);
    source.ReleaseMessage(chat);
    source.Finish();
    EXPECT_EQ(transcript.HostErrorCount(), 0);
}

TEST(HostAudienceSource, ListsTakeEverythingWaitingAndAreRefilledOnlyOnceDropped) {
    Transcript transcript;
    HostAudienceSource source(transcript);
    source.QueueChat(1, u"a", u"first");
    source.QueueChat(2, u"b", u"second");
    auto held = source.GetPendingMessages();
    ASSERT_EQ(held->size(), 2u);
    EXPECT_EQ(source.Waiting(), 0u);
    const AudienceMessageList* dropped = nullptr;
    {
        source.QueueChat(3, u"c", u"third");
        auto list = source.GetPendingMessages();
        EXPECT_NE(list.get(), held.get()) << "a list the effect holds is never refilled";
        ASSERT_EQ(list->size(), 1u) << "a message is handed out once";
        source.ReleaseMessage(list->front());
        dropped = list.get();
    }
    source.QueueChat(4, u"d", u"fourth");
    source.QueueChat(5, u"e", u"fifth");
    auto again = source.GetPendingMessages();
    EXPECT_EQ(again.get(), dropped);
    ASSERT_EQ(again->size(), 2u);
    EXPECT_EQ(std::u16string(again->front()->text), u"fourth");
    EXPECT_EQ(std::u16string(again->back()->text), u"fifth");

    // The messages outlive the lists that handed them out.
    std::vector<AudienceMessage*> kept;
    for (auto* list : {held.get(), again.get()})
        for (AudienceMessage* m : *list)
            kept.push_back(m);
    held.reset();
    again.reset();
    EXPECT_EQ(source.Outstanding(), 4u);
    EXPECT_EQ(std::u16string(kept[1]->text), u"second");
    for (AudienceMessage* m : kept)
        source.ReleaseMessage(m);
    source.Finish();
    EXPECT_EQ(transcript.HostErrorCount(), 0) << transcript.ToString();
}

TEST(HostAudienceSource, DoubleAndForeignReleasesAreHostErrors) {
    Transcript transcript;
    HostAudienceSource source(transcript);
    source.QueueChat(1, u"a", u"x");
    source.QueueChat(2, u"b", u"y");
    AudienceMessage* first = source.PopMessage();
    source.ReleaseMessage(first);
    source.ReleaseMessage(first); // a second time
    AudienceMessage stranger{};
    source.ReleaseMessage(&stranger); // never ours
    auto list = source.GetPendingMessages();
    source.ReleaseMessage(list->front());
    source.ReleaseMessage(list->front());
    list.reset();
    source.Finish();

    const auto errors = transcript.Texts("ERROR");
    ASSERT_EQ(transcript.HostErrorCount(), 3);
    EXPECT_NE(errors[0].find("a second time"), std::string::npos);
    EXPECT_NE(errors[1].find("never handed out"), std::string::npos);
    EXPECT_NE(errors[2].find("a second time"), std::string::npos);
}

TEST(HostAudienceSource, FinishReportsLeakedMessagesAndListsStillHeld) {
    Transcript transcript;
    HostAudienceSource source(transcript);
    source.QueueChat(1, u"Lucas", u"never released");
    source.QueueGift(2, u"李娜", 1, 1);
    source.PopMessage();
    auto held = source.GetPendingMessages();
    source.ReleaseMessage(held->front());
    source.Finish();

    const auto errors = transcript.Texts("ERROR");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find("Lucas(1)"), std::string::npos);
    EXPECT_NE(errors[0].find("never released"), std::string::npos);
    EXPECT_NE(errors[1].find("still held"), std::string::npos);
}

TEST(HostAudienceSource, RecordsHostCallsAndCountsSignalsUntilTaken) {
    Transcript transcript;
    HostAudienceSource source(transcript);
    std::vector<std::uint32_t> seen;
    source.SetHandOutObserver([&](const AudienceMessage& m) { seen.push_back(m.senderId); });
    source.QueueChat(5, u"a", u"x");
    source.Start();
    source.Signal(1, 1);
    source.Signal(1, 1);
    source.NotifyStateChanged();
    source.Stop();
    source.ReleaseMessage(source.PopMessage());

    EXPECT_EQ(source.TakePendingSignals(), 2);
    EXPECT_EQ(source.TakePendingSignals(), 0);
    EXPECT_EQ(seen, std::vector<std::uint32_t>{5});
    EXPECT_EQ(transcript.Texts("host"),
              (std::vector<std::string>{"Start()", "Signal(1, 1)", "Signal(1, 1)",
                                        "NotifyStateChanged()", "Stop()"}));
}

TEST(HostAudienceSource, OverlongNamesAreCutInsideTheField) {
    Transcript transcript;
    HostAudienceSource source(transcript);
    source.QueueChat(1, std::u16string(2000, u'名'), u"x");
    AudienceMessage* m = source.PopMessage();
    EXPECT_EQ(m->senderName[AudienceMessage::kSenderNameUnits - 1], u'\0');
    EXPECT_EQ(std::u16string(m->senderName).size(), AudienceMessage::kSenderNameUnits - 1);
    source.ReleaseMessage(m);
}

} // namespace
