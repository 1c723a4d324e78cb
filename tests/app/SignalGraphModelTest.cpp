#include "app/SignalGraphModel.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

const Instant t0 = fromEpochSeconds(5000);

TEST(SignalGraphModel, AddsOnlyFreshReadingsAndTurnsStaleOnlyAfterThirtySeconds) {
    SignalGraphModel graph;
    graph.sample(t0, -127, t0, std::nullopt);  // no reading
    EXPECT_TRUE(graph.history().empty());
    graph.sample(t0, -60, std::nullopt, std::nullopt);  // never a timestamp
    EXPECT_TRUE(graph.history().empty());

    graph.sample(addSeconds(t0, 6.0), -60, t0, std::string("Present"));
    ASSERT_EQ(graph.history().size(), 1U);
    EXPECT_TRUE(graph.history().back().wasPresent);
    // Silent for 20 s: nothing added, not stale yet.
    graph.sample(addSeconds(t0, 20.0), -60, t0, std::string("Present"));
    EXPECT_EQ(graph.history().size(), 1U);
    EXPECT_FALSE(graph.isStale());
    graph.sample(addSeconds(t0, 30.5), -60, t0, std::string("Present"));
    EXPECT_TRUE(graph.isStale());
    // A fresh reading clears it and is marked by the published presence.
    graph.sample(addSeconds(t0, 31), -80, addSeconds(t0, 31), std::string("Absent"));
    EXPECT_FALSE(graph.isStale());
    EXPECT_FALSE(graph.history().back().wasPresent);
}

TEST(SignalGraphModel, KeepsTheNewestTwentySamples) {
    SignalGraphModel graph;
    for (int i = 0; i < 25; ++i) {
        graph.sample(t0, -50 - i, t0, std::nullopt);
    }
    ASSERT_EQ(graph.history().size(), 20U);
    EXPECT_EQ(graph.history().front().value, -55);
    EXPECT_EQ(graph.history().back().value, -74);
}

TEST(SignalGraphModel, ScaleSpansTheSamplesAndThresholdAndAtLeastFiftyDb) {
    const auto empty = SignalGraphModel::scale({}, -67.9);
    EXPECT_EQ(empty.lower, -67 - 10 - 15);
    EXPECT_EQ(empty.upper, -67 + 10 + 15);
    const std::deque<RSSISample> wide{{-40, true}, {-95, false}};
    const auto s = SignalGraphModel::scale(wide, -67);
    EXPECT_EQ(s.lower, -105);
    EXPECT_EQ(s.upper, -30);
    // Odd differences lose the spare dB to integer division.
    const std::deque<RSSISample> odd{{-60, true}, {-89, true}};
    const auto o = SignalGraphModel::scale(odd, -67);
    EXPECT_EQ(o.span(), 49);
    EXPECT_DOUBLE_EQ(SignalGraphModel::y(-200, s, 60), 60);
    EXPECT_DOUBLE_EQ(SignalGraphModel::y(0, s, 60), 0);
    EXPECT_DOUBLE_EQ(SignalGraphModel::x(0, 400), 6);
    EXPECT_DOUBLE_EQ(SignalGraphModel::x(19, 400), 400 - 38 - 6);
}

}  // namespace
}  // namespace ambleguard
