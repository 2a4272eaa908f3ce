// Ranking viewers by points.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "game/player_board.h"
#include "game/sender_index.h"
#include "support/allocation_counter.h"

namespace {

std::vector<std::uint32_t> Ranking(const PlayerBoard& board) {
    std::vector<const PlayerEntry*> top(board.size());
    top.resize(board.Top(top.data(), top.size()));
    std::vector<std::uint32_t> ids;
    for (const PlayerEntry* e : top)
        ids.push_back(e->senderId);
    return ids;
}

TEST(PlayerBoard, ViewersWithEqualPointsKeepTheOrderTheyReachedThem) {
    PlayerBoard board;
    board.AddPoints(1, u"X", 1);
    board.AddPoints(2, u"Y", 1);
    board.AddPoints(1, u"X", 1); // X reaches 2 first
    board.AddPoints(3, u"Z", 1);
    board.AddPoints(2, u"Y", 1); // Y reaches 2 later
    EXPECT_EQ(Ranking(board), (std::vector<std::uint32_t>{1, 2, 3}));

    board.AddPoints(3, u"Z", 5);
    EXPECT_EQ(Ranking(board), (std::vector<std::uint32_t>{3, 1, 2}));
}

TEST(PlayerBoard, TheFirstNameStaysAndTotalsAreReturned) {
    PlayerBoard board;
    EXPECT_EQ(board.AddPoints(7, u"first", 2), 2);
    EXPECT_EQ(board.AddPoints(7, u"renamed", 3), 5);
    ASSERT_NE(board.Find(7), nullptr);
    EXPECT_EQ(board.Find(7)->senderName, u"first");
    EXPECT_EQ(board.Find(8), nullptr);
}

TEST(PlayerBoard, PointsWrapAtSixtyFiveThousandFiveHundredAndThirtySix) {
    PlayerBoard board;
    board.AddPoints(1, u"A", 65535);
    board.AddPoints(2, u"B", 0); // listed with no points
    board.AddPoints(3, u"C", 1);
    EXPECT_EQ(board.AddPoints(1, u"A", 1), 0);
    // Wrapped down to 0: behind C, ahead of B, which it was ahead of before.
    EXPECT_EQ(Ranking(board), (std::vector<std::uint32_t>{3, 1, 2}));
}

TEST(PlayerBoard, TopHandsOutOnlyWhatIsAskedFor) {
    PlayerBoard board;
    for (std::uint32_t id = 0; id < 1000; ++id)
        board.AddPoints(id, u"v", 1);
    board.AddPoints(500, u"v", 1);
    const PlayerEntry* top[3];
    ASSERT_EQ(board.Top(top, 3), 3u);
    EXPECT_EQ(top[0]->senderId, 500u);
    EXPECT_EQ(top[1]->senderId, 0u);
    EXPECT_EQ(top[2]->senderId, 1u);

    PlayerBoard small;
    small.AddPoints(9, u"only", 1);
    EXPECT_EQ(small.Top(top, 3), 1u);
    small.Clear();
    EXPECT_TRUE(small.empty());
    EXPECT_EQ(small.Top(top, 3), 0u);
}

// The board against the plain model its comment describes: a list stably sorted by points after
// every change, over random gifts that climb, stand still and wrap round, through rounds that
// grow the index and rounds that clear it.
TEST(PlayerBoard, RanksAsAStableSortAfterEveryChangeWould) {
    struct Model {
        std::uint32_t id;
        std::uint16_t points;
    };
    std::mt19937 random(20261208);
    PlayerBoard board;
    for (int round = 0; round < 4; ++round) {
        std::vector<Model> model;
        const std::uint32_t viewers = round % 2 == 0 ? 40 : 3000;
        for (int step = 0; step < 20000; ++step) {
            const std::uint32_t id = 1 + random() % viewers * 7919;
            const auto points =
                static_cast<std::uint16_t>(random() % 8 == 0 ? 65530 + random() % 6 : random() % 4);
            const auto at = std::find_if(model.begin(), model.end(),
                                         [&](const Model& m) { return m.id == id; });
            std::uint16_t total = points;
            if (at == model.end()) {
                model.push_back({id, 0});
                std::stable_sort(model.begin(), model.end(), [](const Model& a, const Model& b) {
                    return a.points > b.points;
                });
            }
            auto entry = std::find_if(model.begin(), model.end(),
                                      [&](const Model& m) { return m.id == id; });
            const std::uint16_t before = entry->points;
            total = static_cast<std::uint16_t>(before + points);
            if (total != before) {
                // Climbing goes behind its new equals, wrapping down ahead of them.
                const Model moved{id, total};
                model.erase(entry);
                const auto place =
                    total > before ? std::find_if(model.begin(), model.end(),
                                                  [&](const Model& m) { return m.points < total; })
                                   : std::find_if(model.begin(), model.end(), [&](const Model& m) {
                                         return m.points <= total;
                                     });
                model.insert(place, moved);
            }
            ASSERT_EQ(board.AddPoints(id, u"v" + std::u16string(id % 30, u'x'), points), total);
            if (step % 997 == 0 || step == 19999) {
                std::vector<std::uint32_t> expected;
                for (const Model& m : model)
                    expected.push_back(m.id);
                ASSERT_EQ(Ranking(board), expected) << "round " << round << " step " << step;
            }
        }
        EXPECT_EQ(board.Find(model.front().id)->senderName.size(), 1 + model.front().id % 30);
        board.Clear();
        EXPECT_TRUE(board.empty());
        EXPECT_EQ(board.Find(model.front().id), nullptr);
    }
}

// A room that fills the board every round: the second round, with as many new viewers under
// names too long to be held in place, takes everything from what the first one left.
TEST(PlayerBoard, ARefilledBoardAllocatesNothing) {
    constexpr std::uint32_t kViewers = 2000;
    std::vector<std::u16string> names;
    for (std::uint32_t i = 0; i < kViewers; ++i)
        names.push_back(u"a viewer with a long name " + std::u16string(1 + i % 20, u'x'));
    PlayerBoard board;
    auto fill = [&](std::uint32_t firstId) {
        for (std::uint32_t i = 0; i < kViewers; ++i)
            board.AddPoints(firstId + i, names[i], static_cast<std::uint16_t>(1 + i % 50));
    };
    fill(1);
    board.Clear();

    std::size_t allocations = 0;
    {
        AllocationCounter counter;
        fill(1'000'000);
        allocations = counter.count();
    }
    EXPECT_EQ(allocations, 0u);
    ASSERT_EQ(board.size(), kViewers);
    ASSERT_NE(board.Find(1'000'000 + 7), nullptr);
    EXPECT_EQ(std::u16string_view(board.Find(1'000'000 + 7)->senderName), names[7]);
    EXPECT_EQ(board.Find(1), nullptr);
}

// Who has answered, and where a viewer's entry is: every id is its own, the extremes included,
// through growth, clears and a refill that allocates nothing. The ids step by 65536, as ids
// that differ only in their high bits would pile up in a table hashed by the low ones.
TEST(SenderIndex, HoldsEachIdOnceAndRefillsWithoutAllocating) {
    SenderIndex set;
    EXPECT_TRUE(set.Insert(0));
    EXPECT_TRUE(set.Insert(0xFFFFFFFF));
    EXPECT_FALSE(set.Insert(0));
    EXPECT_FALSE(set.Contains(1));
    for (std::uint32_t id = 1; id <= 50000; ++id)
        ASSERT_TRUE(set.Insert(id * 65536u)) << id;
    EXPECT_EQ(set.size(), 50002u);
    EXPECT_TRUE(set.Contains(25000u * 65536u));
    EXPECT_EQ(set.Find(0xFFFFFFFF), 0u);
    EXPECT_TRUE(set.Insert(12345, 77)) << "a value beside an id";
    EXPECT_EQ(set.Find(12345), 77u);
    EXPECT_EQ(set.Find(54321), SenderIndex::kAbsent);
    EXPECT_FALSE(set.Insert(0xFFFFFFFF));
    EXPECT_EQ(set.Emplace(12345, 5), 77u) << "a held id keeps its value";
    EXPECT_EQ(set.Emplace(54321, 5), SenderIndex::kAbsent);
    EXPECT_EQ(set.Find(54321), 5u);
    set.Clear();
    EXPECT_FALSE(set.Contains(0));
    EXPECT_FALSE(set.Contains(7u * 65536u));

    std::size_t allocations = 0;
    {
        AllocationCounter counter;
        for (std::uint32_t id = 0; id < 50000; ++id)
            set.Insert(id);
        allocations = counter.count();
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(set.size(), 50000u);
    EXPECT_TRUE(set.Contains(49999));
}

} // namespace
