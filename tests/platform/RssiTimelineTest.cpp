#include "platform/sim/RssiTimeline.h"

#include <gtest/gtest.h>

namespace ambleguard::sim {
namespace {

TEST(RssiTimelineTest, InterpolatesBetweenValuesAndHoldsBeforeSilence) {
    // Out of range before 2 s; -50 -> -70 over 2..12 s; held at -70 until silent at 20 s;
    // in range but not advertising from 30 s.
    const RssiTimeline timeline({{12, -70.0}, {2, -50.0}, {20, std::nullopt}, {30, -60.0, false}});
    EXPECT_FALSE(timeline.at(1.999));
    EXPECT_DOUBLE_EQ(timeline.at(2)->dbm, -50);
    EXPECT_DOUBLE_EQ(timeline.at(7)->dbm, -60);
    EXPECT_DOUBLE_EQ(timeline.at(15)->dbm, -70);
    EXPECT_FALSE(timeline.at(20));
    EXPECT_TRUE(timeline.inRange(31));
    EXPECT_FALSE(timeline.advertising(31));
}

TEST(RssiTimelineTest, FindsTheNextChangeWithoutScanningTime) {
    const RssiTimeline timeline({{0, -50.0}, {10, std::nullopt}, {20, -60.0, false}, {25, -55.0}});
    EXPECT_EQ(timeline.nextAdvertisingFrom(5), 5.0);
    EXPECT_EQ(timeline.nextAdvertisingFrom(10), 25.0);
    EXPECT_EQ(timeline.nextInRangeFrom(10), 20.0);
    EXPECT_EQ(timeline.nextOutOfRangeFrom(0), 10.0);
    EXPECT_EQ(timeline.nextOutOfRangeFrom(21), std::nullopt);
    EXPECT_EQ(RssiTimeline({}).nextInRangeFrom(0), std::nullopt);
}

}  // namespace
}  // namespace ambleguard::sim
