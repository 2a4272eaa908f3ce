// The challenge game's view of the live room: gift senders become players ranked by gift points,
// and chat messages are scanned for the correct answer while a question is open.
//
// One tracker exists per library, shared by the challenge effects and, through them, their
// panels; it lives in the library's room (game/library_room.h) and is reached only under its lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "askgame/audience.h"
#include "game/player_board.h"
#include "game/sender_index.h"

// Only the three best-ranked players are shown and can score.
inline constexpr std::size_t kRankedPlayers = 3;

// The display name of a viewer: names of seven or more units become their first six units and
// "..." (five units where the sixth is the first half of a surrogate pair). Used for player labels
// and for the right-answerer text.
std::u16string DisplayName(std::u16string_view name);
// Whether `shown` is what DisplayName(name) gives, without building it.
bool ShowsDisplayName(std::u16string_view shown, std::u16string_view name);

// The sender's name of a message record, up to its terminator or to the end of its 1,024-byte
// field, whichever comes first.
std::u16string_view SenderNameOf(const AudienceMessage& message);
// A text message's text; a null text reads as empty.
std::u16string_view TextOf(const AudienceMessage& message);

// Whether `answer` is a one-of-a-few answer (it occurs in "abcdefABCDEF1234": letters a to f in
// either case, digits 1 to 4). Such answers are compared without regard to case and allow one
// attempt per sender.
bool IsAnswerToken(std::u16string_view answer);

class CAudienceTracker {
public:
    // What one Poll hands out: the players that can be drawn, the correct answers of each rank
    // position and how many players there are. The entries stay valid until the tracker next
    // takes gifts or resets its round.
    struct Standings {
        std::array<const PlayerEntry*, kRankedPlayers> top{};
        std::size_t topCount = 0;
        std::array<std::uint32_t, kRankedPlayers> counts{};
        std::size_t playerCount = 0;
    };

    // Starts the source when there is one. The tracker does not own it.
    explicit CAudienceTracker(IAudienceSource* source);
    CAudienceTracker(const CAudienceTracker&) = delete;
    CAudienceTracker& operator=(const CAudienceTracker&) = delete;

    // Opens or closes answering. Closing resets the round (no counts, no players) once the tracker
    // has polled; either way the source is told.
    void SetQuestionOpen(bool open);
    // Resets the round when the tracker has polled and no question is open; tells the source.
    void RefreshState();

    // Takes the waiting gifts when no question is open (other messages are handed straight back)
    // and reports the standings.
    void Poll(Standings* out);
    // Scans the waiting chat for `answer` (null: no scan). Returns the first message in which one
    // of the three ranked players gives it while the question is open; the caller releases it.
    // Every other message taken is released here. Scoring closes the question without telling
    // the source and forgets who has answered.
    AudienceMessage* FindRightAnswer(const char16_t* answer);
    // Forgets who has answered the current question.
    void ClearAnswered() { answered_.Clear(); }

    std::size_t PlayerCount() const { return players_.size(); }
    bool IsQuestionOpen() const { return questionOpen_; }
    const std::array<std::uint32_t, kRankedPlayers>& Counts() const { return counts_; }
    IAudienceSource* Source() const { return source_; }

private:
    void ResetRound();
    void AddGift(const AudienceMessage& gift);
    void ReleaseRest(AudienceMessageList::const_iterator from,
                     AudienceMessageList::const_iterator end);

    IAudienceSource* source_;
    bool fresh_ = true; // until the first Poll: closing answering keeps the round
    SenderIndex answered_;
    bool questionOpen_ = false;
    std::array<std::uint32_t, kRankedPlayers> counts_{};
    PlayerBoard players_;
};

// Forgets the library's room and the source it reads (see LibraryRoom), for a host that withdraws
// its audience source.
void DropLibraryAudienceTracker();
