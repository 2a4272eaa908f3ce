#include "show/answer_match.h"

namespace show {

namespace {

constexpr char16_t kAlternativeSeparator = u'|';
// Full-width forms U+FF01..U+FF5E stand for ASCII U+0021..U+007E; the ideographic space for a
// space.
constexpr char16_t kFirstFullWidth = 0xFF01, kLastFullWidth = 0xFF5E;
constexpr char16_t kFullWidthOffset = 0xFEE0;
constexpr char16_t kIdeographicSpace = 0x3000;

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == 0x00A0 ||
           c == kIdeographicSpace;
}

// A Latin capital's small letter (Basic Latin, Latin-1 and Latin Extended-A); other units as
// they are.
char16_t SmallLatin(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c + 0x20;
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) return c + 0x20;
    if (c == 0x0178) return 0x00FF;
    // Extended-A pairs a capital with the small letter after it, on even units from U+0100 and
    // U+014A, on odd units from U+0139 and U+0179.
    const bool evenPairs = (c >= 0x0100 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177);
    const bool oddPairs = (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E);
    if ((evenPairs && c % 2 == 0) || (oddPairs && c % 2 == 1)) return c + 1;
    return c;
}

char16_t HalfWidth(char16_t c) {
    if (c >= kFirstFullWidth && c <= kLastFullWidth) return c - kFullWidthOffset;
    return c == kIdeographicSpace ? u' ' : c;
}

bool IsChoiceLetter(char16_t c) {
    return (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

char16_t Capital(char16_t c) {
    return c >= u'a' && c <= u'z' ? c - 0x20 : c;
}

} // namespace

std::optional<MatchRule> MatchRuleNamed(std::string_view name) {
    if (name == "exact") return MatchRule::Exact;
    if (name == "lenient") return MatchRule::Lenient;
    return std::nullopt;
}

const char* MatchRuleName(MatchRule rule) {
    return rule == MatchRule::Exact ? "exact" : "lenient";
}

std::u16string LenientForm(std::u16string_view text) {
    std::u16string form;
    form.reserve(text.size());
    bool spaceWaiting = false;
    for (const char16_t unit : text) {
        const char16_t c = SmallLatin(HalfWidth(unit));
        if (IsSpace(c)) {
            spaceWaiting = !form.empty();
            continue;
        }
        if (spaceWaiting) form.push_back(u' ');
        spaceWaiting = false;
        form.push_back(c);
    }
    return form;
}

AnswerMatcher::AnswerMatcher(MatchRule rule, std::u16string answer, int choiceDigits)
    : rule_(rule), answer_(std::move(answer)), choiceDigits_(choiceDigits) {
    // A choice question's answer is one letter a to f or one digit 1 up to `choiceDigits`, as the
    // game has it; the lenient rule also takes it full-width or with spaces around.
    const std::u16string single = rule_ == MatchRule::Lenient ? LenientForm(answer_) : answer_;
    if (single.size() == 1) choice_ = ChoiceOf(single);
    if (rule_ != MatchRule::Lenient || choice_) return;
    for (std::size_t start = 0;;) {
        const std::size_t bar = answer_.find(kAlternativeSeparator, start);
        std::u16string form = LenientForm(std::u16string_view(answer_).substr(
            start, bar == std::u16string::npos ? bar : bar - start));
        if (!form.empty()) accepted_.push_back(std::move(form));
        if (bar == std::u16string::npos) break;
        start = bar + 1;
    }
}

std::optional<char16_t> AnswerMatcher::ChoiceOf(std::u16string_view text) const {
    const std::u16string lenient =
        rule_ == MatchRule::Lenient ? LenientForm(text) : std::u16string();
    const std::u16string_view seen = rule_ == MatchRule::Lenient ? lenient : text;
    if (seen.size() != 1) return std::nullopt;
    const char16_t c = seen[0];
    if (IsChoiceLetter(c) || (c >= u'1' && c < u'1' + choiceDigits_)) return Capital(c);
    return std::nullopt;
}

bool AnswerMatcher::IsRight(std::u16string_view text) const {
    if (choice_) return ChoiceOf(text) == choice_;
    if (rule_ == MatchRule::Exact) return text == answer_;
    const std::u16string form = LenientForm(text);
    for (const std::u16string& accepted : accepted_)
        if (form == accepted) return true;
    return false;
}

std::u16string AnswerMatcher::ForGame(std::u16string_view text) const {
    if (rule_ == MatchRule::Exact) return std::u16string(text);
    if (choice_) {
        const auto choice = ChoiceOf(text);
        return choice ? std::u16string(1, *choice) : std::u16string(text);
    }
    return IsRight(text) ? answer_ : std::u16string(text);
}

} // namespace show
