#include "support/fake_audience.h"

#include <algorithm>

#include <gtest/gtest.h>

FakeAudience::~FakeAudience() {
    EXPECT_EQ(DoubleReleases(), 0) << "a message was released twice";
    EXPECT_EQ(ForeignReleases(), 0) << "a message this host never handed out was released";
    EXPECT_EQ(Outstanding(), 0u) << "messages handed out were never released";
}

FakeAudience::Record& FakeAudience::Queue(std::uint32_t kind, std::uint32_t senderId,
                                          std::u16string_view name) {
    auto record = std::make_unique<Record>();
    record->message.type = kind;
    record->message.senderId = senderId;
    const std::size_t n = std::min(name.size(), AudienceMessage::kSenderNameUnits - 1);
    std::copy_n(name.begin(), n, record->message.senderName);
    records_.push_back(std::move(record));
    queue_.push_back(records_.back().get());
    return *records_.back();
}

AudienceMessage& FakeAudience::Chat(std::uint32_t senderId, std::u16string_view name,
                                    std::u16string_view text, std::uint32_t kind) {
    Record& r = Queue(kind, senderId, name);
    r.text = text;
    r.message.text = r.text.c_str();
    return r.message;
}

AudienceMessage& FakeAudience::Gift(std::uint32_t senderId, std::u16string_view name,
                                    std::uint16_t count, std::uint16_t value) {
    Record& r = Queue(AudienceKind::Gift, senderId, name);
    r.message.giftCount = count;
    r.message.giftValue = value;
    return r.message;
}

void FakeAudience::NullEntry() {
    queue_.push_back(nullptr);
}

std::size_t FakeAudience::Outstanding() const {
    return static_cast<std::size_t>(std::count_if(
        records_.begin(), records_.end(), [](auto& r) { return r->handedOut && !r->released; }));
}

bool FakeAudience::Balanced() const {
    const bool listsDropped =
        std::all_of(lists_.begin(), lists_.end(), [](auto& list) { return list.expired(); });
    return Outstanding() == 0 && doubleReleases_ == 0 && foreignReleases_ == 0 && listsDropped;
}

std::shared_ptr<AudienceMessageList> FakeAudience::GetPendingMessages() {
    auto list = std::make_shared<AudienceMessageList>();
    for (Record* r : queue_) {
        if (r) r->handedOut = true;
        list->push_back(r ? &r->message : nullptr);
    }
    queue_.clear();
    lists_.push_back(list);
    ++pendingListsHandedOut;
    return list;
}

AudienceMessage* FakeAudience::PopMessage() {
    while (!queue_.empty()) {
        Record* r = queue_.front();
        queue_.pop_front();
        if (!r) continue; // PopMessage never hands out null before the end
        r->handedOut = true;
        return &r->message;
    }
    return nullptr;
}

void FakeAudience::ReleaseMessage(AudienceMessage* message) {
    auto it = std::find_if(records_.begin(), records_.end(),
                           [&](auto& r) { return &r->message == message; });
    if (it == records_.end() || !(*it)->handedOut) {
        ++foreignReleases_;
        return;
    }
    if ((*it)->released) ++doubleReleases_;
    (*it)->released = true;
}
