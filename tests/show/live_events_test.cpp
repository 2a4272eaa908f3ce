#include "show/live_events.h"

#include <gtest/gtest.h>

using hosting::ActionKind;

namespace {

TEST(LiveEvents, ChatFromABotCarriesTheViewerAndText) {
    const auto parsed = show::ParseChat(R"({"id": 1001, "name": "王小明", "text": "B"})");
    ASSERT_TRUE(parsed.event) << parsed.error;
    EXPECT_EQ(parsed.event->kind, ActionKind::Chat);
    EXPECT_EQ(parsed.event->viewer.id, 1001u);
    EXPECT_EQ(parsed.event->viewer.name, u"王小明");
    EXPECT_EQ(parsed.event->text, u"B");
    EXPECT_EQ(parsed.event->chatKind, AudienceKind::Text);

    const auto challenge =
        show::ParseChat(R"({"id": 4294967295, "name": "E", "text": "A", "kind": "challenge"})");
    ASSERT_TRUE(challenge.event) << challenge.error;
    EXPECT_EQ(challenge.event->viewer.id, 4294967295u);
    EXPECT_EQ(challenge.event->chatKind, AudienceKind::ChallengeText);
}

TEST(LiveEvents, GiftCountDefaultsToOne) {
    const auto one = show::ParseGift(R"({"id": 7, "name": "Emma", "value": 10})");
    ASSERT_TRUE(one.event) << one.error;
    EXPECT_EQ(one.event->kind, ActionKind::Gift);
    EXPECT_EQ(one.event->giftCount, 1);
    EXPECT_EQ(one.event->giftValue, 10);
    const auto three = show::ParseGift(R"({"id": 7, "name": "Emma", "count": 3, "value": 65535})");
    ASSERT_TRUE(three.event) << three.error;
    EXPECT_EQ(three.event->giftCount, 3);
    EXPECT_EQ(three.event->giftValue, 65535);
}

TEST(LiveEvents, BadViewerEventsAreRefusedWithAReason) {
    const std::string longName(show::kMaxNameUnits + 1, 'n');
    const std::string longText(show::kMaxTextUnits + 1, 't');
    const struct {
        const char* body;
        const char* reason; // a part of the reason
    } cases[] = {
        {R"({"id": 1, "name": "a", "text": )", "not valid JSON"},
        {R"([1, 2])", "JSON object"},
        {R"({"name": "a", "text": "B"})", "missing field \"id\""},
        {R"({"id": -1, "name": "a", "text": "B"})", "\"id\" must be a whole number"},
        {R"({"id": 4294967296, "name": "a", "text": "B"})", "\"id\" must be a whole number"},
        {R"({"id": 1.5, "name": "a", "text": "B"})", "\"id\" must be a whole number"},
        {R"({"id": 1, "name": 5, "text": "B"})", "\"name\" must be a string"},
        {R"({"id": 1, "name": "a", "text": "B", "colour": "red"})", "unknown field \"colour\""},
        {R"({"id": 1, "name": "a", "text": "B", "co\nlour": 1})", "unknown field \"co\\nlour\""},
        {R"({"id": 1, "name": "a", "text": "B\u0000C"})", "NUL"},
        {R"({"id": 1, "name": "a", "text": "B", "kind": "shout"})", "\"kind\" must be"},
        {"{\"id\": 1, \"name\": \"a\", \"text\": \"\xff\"}", "not valid JSON"},
    };
    for (const auto& c : cases) {
        const auto parsed = show::ParseChat(c.body);
        EXPECT_FALSE(parsed.event) << c.body;
        EXPECT_NE(parsed.error.find(c.reason), std::string::npos)
            << c.body << " → " << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
    }
    EXPECT_FALSE(show::ParseChat(R"({"id": 1, "name": ")" + longName + R"(", "text": "B"})").event);
    EXPECT_FALSE(show::ParseChat(R"({"id": 1, "name": "a", "text": ")" + longText + R"("})").event);
    EXPECT_FALSE(show::ParseGift(R"({"id": 1, "name": "a", "value": 65536})").event);
    EXPECT_FALSE(show::ParseGift(R"({"id": 1, "name": "a", "count": -2, "value": 1})").event);
    EXPECT_FALSE(show::ParseGift(R"({"id": 1, "name": "a"})").event);
    const std::string huge =
        R"({"id": 1, "name": "a", "text": ")" + std::string(show::kMaxEventBytes, ' ') + R"("})";
    EXPECT_NE(show::ParseChat(huge).error.find("larger than"), std::string::npos);
}

TEST(LiveEvents, NamesAndTextsAreCountedInCharactersNotBytes) {
    // 511 CJK characters take 1,533 bytes and still fit the name field.
    std::string name;
    for (std::size_t i = 0; i < show::kMaxNameUnits; ++i)
        name += "王";
    const auto parsed = show::ParseChat(R"({"id": 1, "name": ")" + name + R"(", "text": "B"})");
    ASSERT_TRUE(parsed.event) << parsed.error;
    EXPECT_EQ(parsed.event->viewer.name.size(), show::kMaxNameUnits);
}

TEST(LiveEvents, PanelActionsInTheScenarioShapes) {
    const auto click = show::ParsePanelAction(R"({"click": "ButtonShowQue"})", "");
    ASSERT_TRUE(click.event) << click.error;
    EXPECT_EQ(click.event->kind, ActionKind::Click);
    EXPECT_EQ(click.event->control, "ButtonShowQue");

    const auto type = show::ParsePanelAction(R"({"type": "EditNum", "text": "3"})", "");
    ASSERT_TRUE(type.event) << type.error;
    EXPECT_EQ(type.event->kind, ActionKind::Type);
    EXPECT_EQ(type.event->text, u"3");

    const auto option =
        show::ParsePanelAction(R"({"option": "OptShowQuestion", "selected": true})", "");
    ASSERT_TRUE(option.event) << option.error;
    EXPECT_EQ(option.event->kind, ActionKind::Option);
    EXPECT_TRUE(option.event->selected);

    const auto relative = show::ParsePanelAction(R"({"bank": "tonight.txt"})", "/shows");
    ASSERT_TRUE(relative.event) << relative.error;
    EXPECT_EQ(relative.event->kind, ActionKind::Bank);
    EXPECT_EQ(relative.event->path, "/shows/tonight.txt");
    EXPECT_EQ(show::ParsePanelAction(R"({"bank": "/b/q.txt"})", "/shows").event->path, "/b/q.txt");

    for (const char* bad : {R"({"press": "X"})", R"({"click": ""})", R"({"click": 3})",
                            R"({"type": "EditNum"})", R"({"option": "O", "selected": "yes"})",
                            R"({"click": "A", "type": "B", "text": ""})", R"({"bank": ""})"})
        EXPECT_FALSE(show::ParsePanelAction(bad, "").event) << bad;
}

TEST(LiveEvents, AnEventLineWrapsOneEvent) {
    const auto chat = show::ParseEventLine(R"({"chat": {"id": 2, "name": "Li", "text": "C"}})", "");
    ASSERT_TRUE(chat.event) << chat.error;
    EXPECT_EQ(show::SourceOf(*chat.event), show::EventSource::Viewer);
    const auto panel = show::ParseEventLine(R"({"panel": {"click": "BtnGo"}})", "");
    ASSERT_TRUE(panel.event) << panel.error;
    EXPECT_EQ(show::SourceOf(*panel.event), show::EventSource::Presenter);

    EXPECT_NE(show::ParseEventLine(R"({"jump": {}})", "").error.find("unknown event \"jump\""),
              std::string::npos);
    const auto broken = show::ParseEventLine(R"({"pa\nel": {"click": "BtnGo"}})", "");
    EXPECT_EQ(broken.error.find('\n'), std::string::npos) << "a reason is one line";
    EXPECT_FALSE(show::ParseEventLine(R"({"chat": {}, "gift": {}})", "").event);
    EXPECT_FALSE(show::ParseEventLine(R"("chat")", "").event);
}

TEST(LiveEvents, TheRoundAndModerationBodies) {
    std::string error;
    const auto round = show::ParseRoundAction(R"({"add": 10})", error);
    ASSERT_TRUE(round) << error;
    EXPECT_EQ(round->kind, show::RoundAction::Kind::Add);
    EXPECT_EQ(round->seconds, 10);
    EXPECT_TRUE(show::ParseRoundAction(R"({"reveal": true})", error));
    for (const char* bad : {R"({"close": false})", R"({"seconds": -3})", R"({"seconds": 1e9})",
                            R"({"add": 5, "close": true})", R"({"pause": true})", "[]"})
        EXPECT_FALSE(show::ParseRoundAction(bad, error)) << bad;

    const auto season = show::ParseModeration(R"({"ignore": 42, "season": true})", error);
    ASSERT_TRUE(season) << error;
    EXPECT_TRUE(season->ignore && season->season);
    EXPECT_EQ(season->viewer, 42u);
    const auto heard = show::ParseModeration(R"({"unignore": 42})", error);
    ASSERT_TRUE(heard);
    EXPECT_FALSE(heard->ignore);
    for (const char* bad : {R"({"unignore": 42, "season": true})",
                            R"({"ignore": 1, "unignore": 2})", R"({"ignore": "42"})",
                            R"({"ignore": 4294967296})", R"({})", R"({"ignore": 1, "season": 1})"})
        EXPECT_FALSE(show::ParseModeration(bad, error)) << bad;
}

} // namespace
