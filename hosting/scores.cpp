#include "hosting/scores.h"

#include <algorithm>
#include <charconv>

#include "hosting/audience_source.h"

namespace hosting {

namespace {

bool IsChoiceCharacter(char16_t c) {
    return (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F') || (c >= u'1' && c <= u'6');
}

bool IsChoice(const std::u16string& text) {
    return text.size() == 1 && IsChoiceCharacter(text[0]);
}

std::u16string Lower(std::u16string text) {
    for (auto& c : text)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return text;
}

} // namespace

void ScoreTable::AddPoint(const std::string& who) {
    const auto [at, added] = points_.try_emplace(who, Scorer{0, points_.size()});
    Scorer& scorer = at->second;
    if (!added) ranking_.erase({scorer.points, scorer.first, &at->first});
    ++scorer.points;
    ranking_.insert({scorer.points, scorer.first, &at->first});
    ++version_;
}

std::vector<std::pair<std::string, int>> ScoreTable::Top(std::size_t n) const {
    std::vector<std::pair<std::string, int>> top;
    top.reserve(std::min(n, ranking_.size()));
    for (auto place = ranking_.begin(); place != ranking_.end() && top.size() < n; ++place)
        top.emplace_back(*place->who, place->points);
    return top;
}

int ScoreTable::PointsOf(const std::string& who) const {
    const auto found = points_.find(who);
    return found == points_.end() ? 0 : found->second.points;
}

void FreeAnswerJudge::QuestionSent(const std::u16string& answer) {
    choice_ = IsChoice(answer);
    answer_ = choice_ ? Lower(answer) : answer;
    haveQuestion_ = true;
    attempted_.clear();
}

bool FreeAnswerJudge::Judge(const AudienceMessage& message) {
    if (!haveQuestion_) return false;
    if (message.type != AudienceKind::Text && message.type != AudienceKind::FreeText) return false;
    std::u16string text = message.text ? message.text : u"";
    if (choice_) {
        if (attempted_.contains(message.senderId)) return false;
        if (IsChoice(text)) {
            text = Lower(text);
            attempted_.insert(message.senderId);
        }
    }
    return text == answer_;
}

std::string SenderLabel(const AudienceMessage& message) {
    return SenderNameUtf8(message) + "(" + std::to_string(message.senderId) + ")";
}

std::optional<LabelledSender> ParseSenderLabel(const std::string& label) {
    const auto open = label.rfind('(');
    if (open == std::string::npos || label.size() < open + 3 || label.back() != ')')
        return std::nullopt;
    const char* first = label.data() + open + 1;
    const char* last = label.data() + label.size() - 1;
    std::uint32_t id = 0;
    const auto [stop, error] = std::from_chars(first, last, id);
    if (error != std::errc() || stop != last) return std::nullopt;
    return LabelledSender{label.substr(0, open), id};
}

} // namespace hosting
