// The one state document every live host answers, against its schema in docs/: what a bot
// written from the README can rely on whichever host runs the show.
#include <gtest/gtest.h>

#include "show/show_state.h"
#include "support/state_schema.h"

namespace {

using nlohmann::json;
using test_support::StateSchemaFaults;

show::StateParts FreeShow() {
    show::StateParts parts;
    parts.frames = 250;
    parts.queue = {3, 10000, 42, 1, 2};
    parts.panel = {2, 10, "Red planet?", "A", "王小明(1001)"};
    parts.ranking = {{"王小明(1001)", 2}, {"Emma(1002)", 1}};
    parts.messageBoxes = 1;
    parts.lastMessageBox = hosting::MessageBoxSeen{"提示", "题库已打开"};
    return parts;
}

show::GiftTally Gifts() {
    show::GiftTally gifts;
    hosting::ScenarioEvent gift;
    gift.kind = hosting::ActionKind::Gift;
    gift.viewer = {4294967295u, u"Big"};
    gift.giftCount = 65535;
    gift.giftValue = 65535;
    gifts.Add(gift);
    gifts.Add(gift);
    return gifts;
}

TEST(StateDocument, BothGamesConformToTheSchemaBeforeAndDuringAShow) {
    EXPECT_EQ(StateSchemaFaults(show::StateDocument({}).dump()), "") << "a show not yet begun";
    EXPECT_EQ(StateSchemaFaults(show::StateDocument(FreeShow()).dump()), "");

    const show::GiftTally gifts = Gifts();
    show::StateParts challenge = FreeShow();
    challenge.mode = hosting::GameMode::Challenge;
    challenge.players = &gifts;
    const json state = show::StateDocument(challenge);
    EXPECT_EQ(StateSchemaFaults(state.dump()), "");
    // Worth is added up wide: two gifts of the largest count and value do not wrap.
    EXPECT_EQ(state["players"][0]["value"], 2 * 65535ull * 65535ull);
}

TEST(StateDocument, ARoomOfAnySizeListsItsBestAndCountsTheRest) {
    show::GiftTally gifts;
    hosting::ScenarioEvent gift;
    gift.kind = hosting::ActionKind::Gift;
    gift.giftCount = 1;
    for (std::uint32_t id = 1; id <= 1000; ++id) {
        gift.viewer = {id, u"v"};
        gift.giftValue = static_cast<std::uint16_t>(id % 7); // many equal worths
        gifts.Add(gift);
    }
    gift.viewer = {500, u"late"};
    gift.giftValue = 100;
    gifts.Add(gift); // a sender's second gift moves them up
    show::StateParts parts;
    parts.mode = hosting::GameMode::Challenge;
    parts.players = &gifts;
    parts.top = 3;
    const json state = show::StateDocument(parts);
    EXPECT_EQ(state["playerCount"], 1000);
    ASSERT_EQ(state["players"].size(), 3u);
    EXPECT_EQ(state["players"][0]["id"], 500);
    EXPECT_EQ(state["players"][0]["name"], "late");
    EXPECT_EQ(state["players"][0]["value"], 100 + 500 % 7);
    EXPECT_EQ(state["players"][1]["id"], 6) << "equal worth: the lower id first";
    EXPECT_EQ(state["players"][2]["id"], 13);
    EXPECT_EQ(StateSchemaFaults(state.dump()), "");
}

TEST(StateDocument, TheSchemaRefusesOtherShapes) {
    // What the frame filter used to answer: the question as a bare text, no scores.
    const json filterOfOld = {{"mode", "free"},
                              {"frame", 3},
                              {"question", "Red planet?"},
                              {"answer", "A"},
                              {"messageBoxes", 0}};
    EXPECT_NE(StateSchemaFaults(filterOfOld.dump()), "");

    show::StateParts challenge = FreeShow();
    challenge.mode = hosting::GameMode::Challenge;
    json withoutPlayers = show::StateDocument(challenge);
    withoutPlayers.erase("players");
    EXPECT_NE(StateSchemaFaults(withoutPlayers.dump()), "") << "a challenge names its players";
    json freeWithPlayers = show::StateDocument(FreeShow());
    freeWithPlayers["players"] = json::array();
    EXPECT_NE(StateSchemaFaults(freeWithPlayers.dump()), "") << "free mode has no players";
}

} // namespace
