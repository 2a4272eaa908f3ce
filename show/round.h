// One question as a live show plays it: the answers it takes, matched by the show's rule, its
// clock (a question may be given seconds, and closes for answers when they run out), and its
// reveal, which the free game may hold back until the question closes or the presenter says:
// right answers are kept meanwhile and handed to the game then, in the order they came.
//
// Times are seconds on the show's own clock. Not thread-safe: the live game keeps it under its
// host lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "show/answer_match.h"

namespace show {

// Answers the state lists, newest first, at most.
inline constexpr std::size_t kFeedLength = 20;
// The longest clock a question may be given, in seconds: an hour is longer than any question.
inline constexpr int kMaxAnswerSeconds = 3600;

struct RoundOptions {
    MatchRule match = MatchRule::Exact;
    int answerSeconds = 0;   // each question's clock; 0: none unless the presenter gives one
    bool holdReveal = false; // a question with a clock keeps its reveal until it closes
    int choiceDigits = 6;    // the digits a choice may be: 1 up to this
};

// A viewer's answer, as the game is to be handed it.
struct RoundAnswer {
    std::uint32_t viewer = 0;
    std::u16string name;
    std::u16string text; // for the game
    std::uint32_t chatKind = 0;
};

class Round {
public:
    explicit Round(RoundOptions options = {}) : options_(options) {}

    // The presenter pushed a question whose answer is `answer` (as the panel holds it).
    void Begin(const std::u16string& answer, double now);
    bool Active() const { return active_; }

    // What becomes of a viewer's answer that came at `at`: the text the game gets now, or
    // nothing when the round drops it (the question is closed) or keeps it back for the reveal.
    // With no question pushed the game gets the text as it came.
    std::optional<std::u16string> Take(const RoundAnswer& answer, double at);

    // The presenter's clock: `seconds` from now (reopening a closed question), `seconds` more,
    // closed at once, revealed at once (which also closes). False, with the reason, when there
    // is no question or the seconds are out of range.
    bool GiveSeconds(int seconds, double now, std::string& error);
    bool AddSeconds(int seconds, double now, std::string& error);
    bool Close(double now, std::string& error);
    bool Reveal(double now, std::string& error);

    // The right answers kept back, once the reveal is due (the clock ran out, or the presenter
    // closed or revealed); empty until then and after.
    std::vector<RoundAnswer> DueAnswers(double now);

    bool Open(double now) const;
    // The clock's seconds left (never below 0) and what it was given; nothing without a clock.
    std::optional<double> Left(double now) const;
    std::optional<int> Seconds() const { return seconds_; }
    // {"clock", "seconds", "left", "open", "held", "revealed", "answers", "right", "choices"}
    nlohmann::json State(double now) const;
    // The latest answers, newest first: [{"id", "name", "text", "right", "counted"}].
    nlohmann::json Feed() const;
    // The name a viewer's latest answer in the feed came with; empty when none is there.
    std::string NameOf(std::uint32_t viewer) const;

private:
    struct FeedEntry {
        std::uint32_t viewer;
        std::u16string name, text;
        bool right, counted;
    };
    bool Holding() const;
    void Remember(const RoundAnswer& answer, const std::u16string& said, bool right, bool counted);

    RoundOptions options_;
    AnswerMatcher matcher_;
    bool active_ = false;
    std::optional<double> deadline_; // the clock's end; nothing: no clock
    std::optional<int> seconds_;     // what the clock was last given
    bool closed_ = false;            // closed by the presenter
    bool revealed_ = false;
    std::uint64_t answers_ = 0, right_ = 0;
    std::map<char16_t, std::uint64_t> choices_;
    std::set<std::uint32_t> chose_; // viewers who used their one choice
    std::vector<RoundAnswer> kept_;
    std::deque<FeedEntry> feed_;
};

} // namespace show
