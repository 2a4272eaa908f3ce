// A show's points, ranked as they come, against the plain rule they stand for: more points
// first, equal scores in the order they were first reached.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "hosting/scores.h"

namespace {

TEST(ScoreTable, TheRankingIsAStableSortByPointsWhateverOrderThePointsCameIn) {
    std::mt19937 random(7);
    hosting::ScoreTable table;
    std::map<std::string, int> points;
    std::vector<std::string> firstReached;
    for (int i = 0; i < 5000; ++i) {
        const std::string who = "v" + std::to_string(random() % 300);
        if (points[who]++ == 0) firstReached.push_back(who);
        table.AddPoint(who);
    }
    std::vector<std::pair<std::string, int>> model;
    for (const std::string& who : firstReached)
        model.emplace_back(who, points[who]);
    std::stable_sort(model.begin(), model.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });

    EXPECT_EQ(table.Ranking(), model);
    EXPECT_EQ(table.Count(), model.size());
    const auto top = table.Top(10);
    EXPECT_EQ(top, std::vector(model.begin(), model.begin() + 10));
    EXPECT_EQ(table.Top(100000).size(), model.size());
    EXPECT_EQ(table.PointsOf(model.front().first), model.front().second);
    EXPECT_EQ(table.PointsOf("nobody"), 0);
}

} // namespace
