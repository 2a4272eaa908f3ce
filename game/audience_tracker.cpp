#include "game/audience_tracker.h"

#include "game/library_room.h"

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

constexpr std::size_t kDisplayNameUnits = 6; // longer names are cut to this many units
constexpr std::u16string_view kEllipsis = u"...";
constexpr std::u16string_view kAnswerTokens = u"abcdefABCDEF1234";

bool IsChat(std::uint32_t type) {
    return type == AudienceKind::Text || type == AudienceKind::ChallengeText;
}

char16_t AsciiUpper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Whether `text` upper-cased (ASCII letters only) equals `upper`.
bool EqualsUpperCased(std::u16string_view text, std::u16string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (AsciiUpper(text[i]) != upper[i]) return false;
    return true;
}

// A gift is worth its count times its value, in 16 bits.
std::uint16_t GiftPoints(const AudienceMessage& gift) {
    // Unsigned 32-bit product: two 16-bit values promoted to int could overflow it.
    return static_cast<std::uint16_t>(std::uint32_t{gift.giftCount} * gift.giftValue);
}

// How many messages ahead of the one being read the scans fetch records, and how many ahead they
// fetch what a record leads to (its text, its sender's place in an index): by then the record
// has arrived, so reading its sender and text pointer does not wait.
constexpr int kRecordDistance = 16;
constexpr int kFollowDistance = 8;
constexpr std::size_t kCacheLine = 64;

// What a scan reads of each record, so that only those lines are fetched: memory, not the scan's
// own work, bounds a scan of records that are not in the cache.
enum class Reads { Gifts, Chat };

// Keeps the host's records coming ahead of the one being read, and what they lead to after them.
// Records are over a kilobyte apart and rarely in cache, nor are a hundred thousand senders'
// places in an index, so a scan that waited on each in turn would be bound by memory latency
// rather than by its own work. `Follow` is called with each record kFollowDistance ahead.
template <typename Follow>
class ReadAhead {
public:
    ReadAhead(const AudienceMessageList& list, Reads reads, Follow follow)
        : record_(list.cbegin()), follow_(list.cbegin()), end_(list.cend()), reads_(reads),
          onFollow_(follow) {
        for (int i = 0; i < kRecordDistance; ++i)
            StepRecord();
        for (int i = 0; i < kFollowDistance; ++i)
            StepFollow();
    }
    // Called once per message read.
    void Step() {
        StepRecord();
        StepFollow();
    }

private:
    void StepRecord() {
        if (record_ == end_) return;
        if (const AudienceMessage* message = *record_) Fetch(*message);
        ++record_;
    }
    // Asks for every line of the record that the scan reads. Records are not aligned to cache
    // lines, so a field may lie on the line after the one its neighbour is on: a line left out is
    // waited for, in full, on every record where that happens (half of them for a gift's name).
    void Fetch(const AudienceMessage& message) const {
        __builtin_prefetch(&message.type);
        __builtin_prefetch(&message.senderId);
        if (reads_ == Reads::Gifts) {
            // The name, up to 25 units and its terminator: the rest of the first 64 bytes.
            __builtin_prefetch(reinterpret_cast<const char*>(&message) + kCacheLine - 1);
            __builtin_prefetch(&message.giftCount);
            __builtin_prefetch(&message.giftValue);
        } else {
            __builtin_prefetch(&message.text);
        }
    }
    void StepFollow() {
        if (follow_ == end_) return;
        if (const AudienceMessage* message = *follow_) onFollow_(*message);
        ++follow_;
    }

    AudienceMessageList::const_iterator record_, follow_, end_;
    Reads reads_;
    Follow onFollow_;
};

} // namespace

namespace {

// How many units of a long name are kept: kDisplayNameUnits, one fewer where the cut would fall
// between the two halves of a surrogate pair, so no half character is shown.
std::size_t KeptUnits(std::u16string_view name) {
    const auto high = [](char16_t u) { return u >= 0xD800 && u <= 0xDBFF; };
    const auto low = [](char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; };
    const std::size_t cut = kDisplayNameUnits;
    return high(name[cut - 1]) && low(name[cut]) ? cut - 1 : cut;
}

} // namespace

std::u16string DisplayName(std::u16string_view name) {
    if (name.size() <= kDisplayNameUnits) return std::u16string(name);
    std::u16string shown(name.substr(0, KeptUnits(name)));
    shown += kEllipsis;
    return shown;
}

bool ShowsDisplayName(std::u16string_view shown, std::u16string_view name) {
    if (name.size() <= kDisplayNameUnits) return shown == name;
    const std::size_t kept = KeptUnits(name);
    return shown.size() == kept + kEllipsis.size() &&
           shown.substr(0, kept) == name.substr(0, kept) && shown.substr(kept) == kEllipsis;
}

std::u16string_view SenderNameOf(const AudienceMessage& message) {
    const char16_t* begin = message.senderName;
    const char16_t* end = begin + AudienceMessage::kSenderNameUnits;
    return std::u16string_view(begin,
                               static_cast<std::size_t>(std::find(begin, end, u'\0') - begin));
}

std::u16string_view TextOf(const AudienceMessage& message) {
    return message.text ? std::u16string_view(message.text) : std::u16string_view();
}

bool IsAnswerToken(std::u16string_view answer) {
    return kAnswerTokens.find(answer) != std::u16string_view::npos;
}

// ---- CAudienceTracker ----

CAudienceTracker::CAudienceTracker(IAudienceSource* source) : source_(source) {
    if (source_) source_->Start();
}

void CAudienceTracker::ResetRound() {
    counts_ = {};
    players_.Clear();
}

void CAudienceTracker::SetQuestionOpen(bool open) {
    questionOpen_ = open;
    if (!fresh_ && !open) ResetRound();
    if (source_) source_->NotifyStateChanged();
}

void CAudienceTracker::RefreshState() {
    if (!fresh_ && !questionOpen_) ResetRound();
    if (source_) source_->NotifyStateChanged();
}

void CAudienceTracker::AddGift(const AudienceMessage& gift) {
    players_.AddPoints(gift.senderId, SenderNameOf(gift), GiftPoints(gift));
}

void CAudienceTracker::Poll(Standings* out) {
    fresh_ = false;
    if (!questionOpen_ && source_) {
        const std::shared_ptr<AudienceMessageList> list = source_->GetPendingMessages();
        if (list) {
            ReadAhead ahead(*list, Reads::Gifts, [this](const AudienceMessage& message) {
                if (message.type == AudienceKind::Gift) players_.Prefetch(message.senderId);
            });
            for (AudienceMessage* message : *list) {
                ahead.Step();
                if (!message) continue;
                if (message->type == AudienceKind::Gift) AddGift(*message);
                source_->ReleaseMessage(message);
            }
        }
    }
    if (!out) return;
    out->topCount = players_.Top(out->top.data(), kRankedPlayers);
    out->counts = counts_;
    out->playerCount = players_.size();
}

void CAudienceTracker::ReleaseRest(AudienceMessageList::const_iterator from,
                                   AudienceMessageList::const_iterator end) {
    for (; from != end; ++from)
        if (*from) source_->ReleaseMessage(*from);
}

AudienceMessage* CAudienceTracker::FindRightAnswer(const char16_t* answer) {
    if (!answer || !source_) return nullptr;
    const std::shared_ptr<AudienceMessageList> list = source_->GetPendingMessages();
    if (!list) return nullptr;

    const std::u16string_view given(answer);
    const bool token = IsAnswerToken(given);
    std::u16string upperAnswer(given);
    if (token)
        std::transform(upperAnswer.begin(), upperAnswer.end(), upperAnswer.begin(), AsciiUpper);
    // The players who can score; the ranking does not change while chat is scanned.
    std::array<const PlayerEntry*, kRankedPlayers> ranked{};
    const std::size_t rankedCount = players_.Top(ranked.data(), kRankedPlayers);

    ReadAhead ahead(*list, Reads::Chat, [this, token](const AudienceMessage& message) {
        if (!IsChat(message.type)) return;
        if (message.text) __builtin_prefetch(message.text);
        if (token) answered_.Prefetch(message.senderId);
    });
    for (auto it = list->cbegin(); it != list->cend(); ++it) {
        ahead.Step();
        AudienceMessage* message = *it;
        if (!message) continue;
        if (!IsChat(message->type)) {
            source_->ReleaseMessage(message);
            continue;
        }
        const std::u16string_view text = TextOf(*message);
        bool right;
        if (token) {
            // One attempt per sender; empty messages do not count as one.
            if (text.empty() || !answered_.Insert(message->senderId)) {
                source_->ReleaseMessage(message);
                continue;
            }
            right = EqualsUpperCased(text, upperAnswer);
        } else {
            right = text == given;
        }
        if (questionOpen_ && right) {
            for (std::size_t i = 0; i < rankedCount; ++i) {
                if (ranked[i]->senderId != message->senderId) continue;
                ++counts_[i];
                questionOpen_ = false;
                answered_.Clear();
                ReleaseRest(std::next(it), list->cend());
                return message;
            }
        }
        source_->ReleaseMessage(message);
    }
    return nullptr;
}

// ---- The library's tracker ----

void DropLibraryAudienceTracker() {
    LibraryRoom::Instance().Drop();
}
