#include "hosting/audience_source.h"

#include <algorithm>
#include <cstdio>

#include "platform/utf.h"

namespace hosting {

namespace {

std::string KindName(std::uint32_t kind) {
    switch (kind) {
    case AudienceKind::Gift:
        return "gift";
    case AudienceKind::Text:
        return "chat";
    case AudienceKind::ChallengeText:
        return "chat(challenge)";
    case AudienceKind::FreeText:
        return "chat(free)";
    default: {
        char hex[32];
        std::snprintf(hex, sizeof hex, "kind 0x%X", kind);
        return hex;
    }
    }
}

} // namespace

std::string SenderNameUtf8(const AudienceMessage& message) {
    const auto* begin = message.senderName;
    const auto* end = std::find(begin, begin + AudienceMessage::kSenderNameUnits, u'\0');
    return Utf16ToUtf8(std::u16string_view(begin, static_cast<std::size_t>(end - begin)));
}

HostAudienceSource::HostAudienceSource(Transcript& transcript) : transcript_(transcript) {}

HostAudienceSource::~HostAudienceSource() {
    if (!finished_) Finish();
    // A list the effect still holds (a host error, reported above) outlives the source, so the
    // effect's late reads and its release stay on live memory.
    for (auto& list : lists_)
        LentList::Abandon(std::move(list));
}

HostAudienceSource::Record& HostAudienceSource::NewRecord(std::uint32_t kind,
                                                          std::uint32_t senderId,
                                                          std::u16string_view name) {
    auto record = std::make_unique<Record>();
    record->message.type = kind;
    record->message.senderId = senderId;
    // Names longer than the field are cut so that the terminator always fits.
    const std::size_t units = std::min(name.size(), AudienceMessage::kSenderNameUnits - 1);
    std::copy_n(name.begin(), units, record->message.senderName);
    record->serial = static_cast<long>(records_.size()) + 1;
    Record& added = *record;
    byAddress_[&added.message] = &added;
    records_.push_back(std::move(record));
    queue_.push_back(&added);
    return added;
}

void HostAudienceSource::QueueChat(std::uint32_t senderId, std::u16string_view name,
                                   std::u16string_view text, std::uint32_t kind) {
    Record& record = NewRecord(kind, senderId, name);
    record.text = text;
    record.message.text = record.text.c_str();
    transcript_.Add("chat", Describe(record));
}

void HostAudienceSource::QueueGift(std::uint32_t senderId, std::u16string_view name,
                                   std::uint16_t count, std::uint16_t value) {
    Record& record = NewRecord(AudienceKind::Gift, senderId, name);
    record.message.giftCount = count;
    record.message.giftValue = value;
    transcript_.Add("gift", Describe(record));
}

void HostAudienceSource::SetHandOutObserver(std::function<void(const AudienceMessage&)> observer) {
    observer_ = std::move(observer);
}

std::string HostAudienceSource::Describe(const Record& record) const {
    const AudienceMessage& m = record.message;
    std::string text = "#" + std::to_string(record.serial) + " " + SenderNameUtf8(m) + "(" +
                       std::to_string(m.senderId) + ") ";
    if (m.type == AudienceKind::Gift) {
        text += "sends " + std::to_string(m.giftCount) + " x " + std::to_string(m.giftValue) +
                " points";
    } else {
        text += KindName(m.type) + ": \"" + Utf16ToUtf8(record.text) + "\"";
    }
    return text;
}

void HostAudienceSource::HandOut(Record& record) {
    record.state = State::HandedOut;
    if (observer_) observer_(record.message);
}

std::shared_ptr<AudienceMessageList> HostAudienceSource::GetPendingMessages() {
    auto free =
        std::find_if(lists_.begin(), lists_.end(), [](const auto& list) { return !list->Lent(); });
    if (free == lists_.end()) free = lists_.insert(lists_.end(), std::make_unique<LentList>());
    AudienceMessageList& list = (*free)->List();
    spareNodes_.splice(spareNodes_.end(), list);
    for (Record* record : queue_) {
        HandOut(*record);
        if (spareNodes_.empty()) {
            list.push_back(&record->message);
        } else {
            list.splice(list.end(), spareNodes_, spareNodes_.begin());
            list.back() = &record->message;
        }
    }
    queue_.clear();
    return (*free)->Lend();
}

AudienceMessage* HostAudienceSource::PopMessage() {
    if (queue_.empty()) return nullptr;
    Record* record = queue_.front();
    queue_.pop_front();
    HandOut(*record);
    return &record->message;
}

void HostAudienceSource::ReleaseMessage(AudienceMessage* message) {
    const auto found = byAddress_.find(message);
    if (found == byAddress_.end()) {
        char address[32];
        std::snprintf(address, sizeof address, "%p", static_cast<void*>(message));
        transcript_.HostError(std::string("ReleaseMessage of ") + address +
                              ", which this host never handed out");
        return;
    }
    Record& record = *found->second;
    switch (record.state) {
    case State::Queued:
        transcript_.HostError("ReleaseMessage of " + Describe(record) +
                              ", which was never handed out");
        return;
    case State::Released:
        transcript_.HostError("ReleaseMessage of " + Describe(record) + " a second time");
        return;
    case State::HandedOut:
        record.state = State::Released;
        return;
    }
}

void HostAudienceSource::NotifyStateChanged() {
    transcript_.Add("host", "NotifyStateChanged()");
}

void HostAudienceSource::Start() {
    transcript_.Add("host", "Start()");
}

void HostAudienceSource::Stop() {
    transcript_.Add("host", "Stop()");
}

void HostAudienceSource::Signal(int a, int b) {
    transcript_.Add("host", "Signal(" + std::to_string(a) + ", " + std::to_string(b) + ")");
    ++pendingSignals_;
}

int HostAudienceSource::TakePendingSignals() {
    const int taken = pendingSignals_;
    pendingSignals_ = 0;
    return taken;
}

std::size_t HostAudienceSource::Outstanding() const {
    return static_cast<std::size_t>(std::count_if(
        records_.begin(), records_.end(), [](auto& r) { return r->state == State::HandedOut; }));
}

void HostAudienceSource::Finish() {
    finished_ = true;
    for (const auto& record : records_)
        if (record->state == State::HandedOut)
            transcript_.HostError(Describe(*record) + " was handed out and never released");
    const auto held =
        std::count_if(lists_.begin(), lists_.end(), [](const auto& list) { return list->Lent(); });
    if (held > 0)
        transcript_.HostError(std::to_string(held) +
                              " message list(s) from GetPendingMessages still held by the effect");
}

} // namespace hosting
