// How a live show matches viewers' answers against the question's answer. Exact is the game's
// own rule. Lenient forgives what a chat box or an input method adds: spaces around the text
// (and runs of them inside), full-width letters, digits and signs, and Latin letter case; and
// the bank's answer may list several accepted answers separated by "|". The game itself still
// judges: a lenient match reaches it as the answer the game holds, and a choice as its plain
// letter or digit, so its own one-choice-per-viewer rule stands.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace show {

enum class MatchRule { Exact, Lenient };

// "exact" or "lenient"; nothing for any other name.
std::optional<MatchRule> MatchRuleNamed(std::string_view name);
const char* MatchRuleName(MatchRule rule);

// The text as the lenient rule compares it: full-width forms made half-width, Latin letters
// made small, spaces trimmed and runs of spaces made one.
std::u16string LenientForm(std::u16string_view text);

class AnswerMatcher {
public:
    AnswerMatcher() = default;
    // `answer` as the panel holds it; `choiceDigits`: the digits a choice may be (1 to that).
    AnswerMatcher(MatchRule rule, std::u16string answer, int choiceDigits);

    // The choice, as a capital letter or a digit, that `text` names when the answer is a
    // choice; nothing when it is not a choice question or the text names no choice.
    std::optional<char16_t> ChoiceOf(std::u16string_view text) const;
    // True when `text` is a right answer (a choice: the right one, whether or not it is the
    // viewer's first).
    bool IsRight(std::u16string_view text) const;
    // What the game is handed for `text`: the answer as the game holds it for a lenient match,
    // a choice's plain character, else the text as it came.
    std::u16string ForGame(std::u16string_view text) const;
    bool IsChoiceQuestion() const { return choice_.has_value(); }

private:
    MatchRule rule_ = MatchRule::Exact;
    std::u16string answer_;                // as the panel holds it
    std::vector<std::u16string> accepted_; // lenient forms of the answer's alternatives
    std::optional<char16_t> choice_;       // the right choice, capital, for a choice question
    int choiceDigits_ = 6;
};

} // namespace show
