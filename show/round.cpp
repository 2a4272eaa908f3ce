#include "show/round.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/utf.h"

namespace show {

namespace {

// An answer's text in the feed, at most: enough to read any answer, and the state stays small.
constexpr std::size_t kFeedTextUnits = 120;

bool InRange(int seconds, std::string& error) {
    if (seconds >= 1 && seconds <= kMaxAnswerSeconds) return true;
    error = "seconds must be 1 to " + std::to_string(kMaxAnswerSeconds);
    return false;
}

} // namespace

void Round::Begin(const std::u16string& answer, double now) {
    const RoundOptions options = options_;
    *this = Round(options);
    active_ = true;
    matcher_ = AnswerMatcher(options_.match, answer, options_.choiceDigits);
    if (options_.answerSeconds > 0) {
        seconds_ = options_.answerSeconds;
        deadline_ = now + options_.answerSeconds;
    }
}

bool Round::Open(double now) const {
    return active_ && !closed_ && (!deadline_ || now < *deadline_);
}

std::optional<double> Round::Left(double now) const {
    if (!deadline_) return std::nullopt;
    return std::max(0.0, *deadline_ - now);
}

bool Round::Holding() const {
    return options_.holdReveal && deadline_ && !revealed_;
}

std::optional<std::u16string> Round::Take(const RoundAnswer& answer, double at) {
    if (!active_) return answer.text;
    const bool open = Open(at);
    bool counted = open;
    if (matcher_.IsChoiceQuestion()) {
        // One choice per viewer: a second one, or anything after it, does not count.
        const auto choice = matcher_.ChoiceOf(answer.text);
        if (chose_.contains(answer.viewer)) {
            counted = false;
        } else if (choice && open) {
            chose_.insert(answer.viewer);
            ++choices_[*choice];
        }
        if (!choice && counted) {
            Remember(answer, answer.text, false, counted);
            return open && !Holding() ? std::optional(answer.text) : std::nullopt;
        }
    }
    const bool right = counted && matcher_.IsRight(answer.text);
    if (counted) {
        ++answers_;
        right_ += right;
    }
    Remember(answer, answer.text, right, counted);
    if (!open) return std::nullopt;
    if (Holding()) {
        if (right)
            kept_.push_back(
                {answer.viewer, answer.name, matcher_.ForGame(answer.text), answer.chatKind});
        return std::nullopt;
    }
    return matcher_.ForGame(answer.text);
}

void Round::Remember(const RoundAnswer& answer, const std::u16string& said, bool right,
                     bool counted) {
    std::size_t units = std::min(said.size(), kFeedTextUnits);
    if (units < said.size() && said[units - 1] >= 0xD800 && said[units - 1] < 0xDC00)
        --units; // never half a character
    feed_.push_front({answer.viewer, answer.name, said.substr(0, units), right, counted});
    if (feed_.size() > kFeedLength) feed_.pop_back();
}

bool Round::GiveSeconds(int seconds, double now, std::string& error) {
    if (!active_) error = "no question has been pushed";
    if (!active_ || !InRange(seconds, error)) return false;
    seconds_ = seconds;
    deadline_ = now + seconds;
    closed_ = false;
    return true;
}

bool Round::AddSeconds(int seconds, double now, std::string& error) {
    if (!active_) error = "no question has been pushed";
    if (!active_ || !InRange(seconds, error)) return false;
    deadline_ = std::max(deadline_.value_or(now), now) + seconds;
    seconds_ = std::max(seconds_.value_or(0), int(std::ceil(*deadline_ - now)));
    closed_ = false;
    return true;
}

bool Round::Close(double now, std::string& error) {
    if (!active_) {
        error = "no question has been pushed";
        return false;
    }
    closed_ = true;
    if (deadline_ && *deadline_ > now) deadline_ = now;
    return true;
}

bool Round::Reveal(double now, std::string& error) {
    if (!Close(now, error)) return false;
    revealed_ = true;
    return true;
}

std::vector<RoundAnswer> Round::DueAnswers(double now) {
    if (Holding() && Open(now)) return {};
    if (options_.holdReveal && deadline_) revealed_ = true;
    return std::exchange(kept_, {});
}

nlohmann::json Round::State(double now) const {
    nlohmann::json choices = nlohmann::json::object();
    for (const auto& [choice, count] : choices_)
        choices[std::string(1, char(choice))] = count;
    const auto left = [&] {
        // Tenths of a second, never below 0.
        const auto seconds = Left(now);
        return seconds ? nlohmann::json(std::floor(*seconds * 10) / 10) : nlohmann::json(nullptr);
    };
    return {{"active", active_},
            {"clock", deadline_.has_value()},
            {"seconds", seconds_ ? nlohmann::json(*seconds_) : nlohmann::json(nullptr)},
            {"left", left()},
            {"open", Open(now)},
            {"held", Holding()},
            {"revealed", revealed_},
            {"match", MatchRuleName(options_.match)},
            {"answers", answers_},
            {"right", right_},
            {"choices", std::move(choices)}};
}

nlohmann::json Round::Feed() const {
    nlohmann::json feed = nlohmann::json::array();
    for (const FeedEntry& entry : feed_)
        feed.push_back({{"id", entry.viewer},
                        {"name", Utf16ToUtf8(entry.name)},
                        {"text", Utf16ToUtf8(entry.text)},
                        {"right", entry.right},
                        {"counted", entry.counted}});
    return feed;
}

std::string Round::NameOf(std::uint32_t viewer) const {
    for (const FeedEntry& entry : feed_)
        if (entry.viewer == viewer) return Utf16ToUtf8(entry.name);
    return {};
}

} // namespace show
