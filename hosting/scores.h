// The scores a run produced, as the host sees them.
//
// Challenge mode tells the host of every right answer: it signals, the host sends the panel
// "GameNotify", and the panel shows the right answerer. Free mode tells the host nothing, so the
// host judges each chat message the moment the game takes it, against the answer the presenter
// sent, by the free game's rules (a single choice character a-f / 1-6 is one attempt per viewer
// per question and ignores case; anything else must match exactly and may be repeated).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "askgame/audience.h"

namespace hosting {

// The points of a show, kept in ranking order as they come: a point costs a logarithm of the
// audience, and the top of the ranking costs only its own length, however many scored.
class ScoreTable {
public:
    void AddPoint(const std::string& who);
    // Highest first; equal scores in the order they were first reached.
    std::vector<std::pair<std::string, int>> Ranking() const { return Top(Count()); }
    // The first `n` of the ranking.
    std::vector<std::pair<std::string, int>> Top(std::size_t n) const;
    int PointsOf(const std::string& who) const;
    // Viewers with a point.
    std::size_t Count() const { return points_.size(); }
    // Counts every point added: a reader who kept a ranking knows whether it is still current.
    std::uint64_t Version() const { return version_; }

private:
    struct Scorer {
        int points = 0;
        std::size_t first = 0; // when the first point came: breaks ties
    };
    // Ranking order: more points first, then the earlier first point.
    struct Place {
        int points;
        std::size_t first;
        const std::string* who; // the key in points_, which never moves
        bool operator<(const Place& other) const {
            return points != other.points ? points > other.points : first < other.first;
        }
    };
    std::map<std::string, Scorer> points_;
    std::set<Place> ranking_;
    std::uint64_t version_ = 0;
};

class FreeAnswerJudge {
public:
    // The presenter sent a question with this answer.
    void QuestionSent(const std::u16string& answer);
    // A message the game has just taken: true when it earns its sender a point.
    bool Judge(const AudienceMessage& message);
    bool HasQuestion() const { return haveQuestion_; }

private:
    std::u16string answer_;
    bool choice_ = false;
    bool haveQuestion_ = false;
    std::set<std::uint32_t> attempted_;
};

// "name(id)" for a message's sender, as the games write it.
std::string SenderLabel(const AudienceMessage& message);

// The name and id back out of such a label; nothing when it does not end in "(digits)".
struct LabelledSender {
    std::string name;
    std::uint32_t id = 0;
};
std::optional<LabelledSender> ParseSenderLabel(const std::string& label);

} // namespace hosting
