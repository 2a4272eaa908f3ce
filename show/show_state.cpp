#include "show/show_state.h"

#include "platform/utf.h"

namespace show {

namespace {

using nlohmann::json;

struct PanelFields {
    const char16_t* question;
    const char16_t* answer;
};

PanelFields FieldsFor(hosting::GameMode mode) {
    if (mode == hosting::GameMode::Free) return {u"Question", u"RightAnswer"};
    return {u"ChallengeQue", u"ChallengeAnswer"};
}

constexpr const char16_t* kNumberField = u"EditNum";
constexpr const char16_t* kCountField = u"LabMaxNum";
constexpr const char16_t* kRightAnswererField = u"RightAnswerer";
// Beyond any bank a panel can hold: a longer number is no question number.
constexpr int kLargestShownNumber = 100000;

std::string Utf8Or(const std::optional<std::u16string>& text) {
    return text ? Utf16ToUtf8(*text) : std::string();
}

// A number the panel shows padded (" 1", "06"), or -1 when it shows none.
int ShownNumber(const std::optional<std::u16string>& text) {
    if (!text) return -1;
    int value = 0;
    bool any = false;
    for (const char16_t c : *text) {
        if (c == u' ') continue;
        if (c < u'0' || c > u'9' || value > kLargestShownNumber) return -1;
        value = value * 10 + (c - u'0');
        any = true;
    }
    return any ? value : -1;
}

json NumberOrNull(int value) {
    return value < 0 ? json(nullptr) : json(value);
}

} // namespace

PanelReading ReadPanel(const hosting::HostedGame& game) {
    const PanelFields fields = FieldsFor(game.Mode());
    PanelReading panel;
    panel.number = ShownNumber(game.ControlText(kNumberField));
    panel.count = ShownNumber(game.ControlText(kCountField));
    panel.question = Utf8Or(game.ControlText(fields.question));
    panel.answer = Utf8Or(game.ControlText(fields.answer));
    panel.rightAnswerer = Utf8Or(game.ControlText(kRightAnswererField));
    return panel;
}

void GiftTally::Add(const hosting::ScenarioEvent& gift) {
    const std::uint32_t id = gift.viewer.id;
    Player& player = players_[id];
    byWorth_.erase({player.value, ~id});
    player.name = Utf16ToUtf8(gift.viewer.name);
    player.gifts += gift.giftCount;
    player.value += std::uint64_t{gift.giftCount} * gift.giftValue;
    byWorth_.insert({player.value, ~id}); // ~id: among equals, the lower id first
}

json GiftTally::Json(std::size_t top) const {
    json players = json::array();
    for (auto at = byWorth_.begin(); at != byWorth_.end() && players.size() < top; ++at) {
        const std::uint32_t id = ~at->second;
        const Player& player = players_.at(id);
        players.push_back(
            {{"id", id}, {"name", player.name}, {"gifts", player.gifts}, {"value", player.value}});
    }
    return players;
}

json StateDocument(StateParts parts) {
    json state;
    state["mode"] = hosting::GameModeName(parts.mode);
    state["frames"] = parts.frames;
    state["queue"] = {{"waiting", parts.queue.waiting},
                      {"capacity", parts.queue.capacity},
                      {"accepted", parts.queue.accepted},
                      {"refused", parts.queue.refused},
                      {"inGame", parts.queue.inGame}};
    state["question"] = {{"number", NumberOrNull(parts.panel.number)},
                         {"count", NumberOrNull(parts.panel.count)},
                         {"text", std::move(parts.panel.question)},
                         {"answer", std::move(parts.panel.answer)}};
    state["rightAnswerer"] = std::move(parts.panel.rightAnswerer);
    json scores = json::array();
    for (auto& [who, points] : parts.ranking)
        scores.push_back({{"name", std::move(who)}, {"points", points}});
    state["scores"] = std::move(scores);
    state["scorers"] = parts.scorers;
    if (parts.mode == hosting::GameMode::Challenge) {
        state["players"] = parts.players ? parts.players->Json(parts.top) : json::array();
        state["playerCount"] = parts.players ? parts.players->Size() : 0;
    }
    state["messageBoxes"] = parts.messageBoxes;
    state["lastMessageBox"] = parts.lastMessageBox
                                  ? json{{"caption", std::move(parts.lastMessageBox->caption)},
                                         {"text", std::move(parts.lastMessageBox->text)}}
                                  : json(nullptr);
    state["seasonFile"] = parts.seasonFile ? json{{"waiting", parts.seasonFile->waiting},
                                                  {"lost", parts.seasonFile->lost},
                                                  {"error", std::move(parts.seasonFile->error)}}
                                           : json(nullptr);
    state["chat"] = std::move(parts.chat);
    for (auto& [key, value] : parts.broadcast.items())
        if (key == "input" || key == "outputs") state[key] = std::move(value);
    if (!parts.round.empty()) {
        state["round"] = std::move(parts.round);
        state["feed"] = std::move(parts.feed);
        state["ignored"] = std::move(parts.ignored);
    }
    return state;
}

} // namespace show
