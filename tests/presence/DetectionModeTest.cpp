#include "presence/DetectionMode.h"

#include <gtest/gtest.h>

#include "presence/KalmanFilter.h"

namespace ambleguard {
namespace {

TEST(DetectionModeTest, OnlyTheExactRawStringsSelectAMode) {
    EXPECT_EQ(parseDetectionMode("Responsive"), DetectionMode::responsive);
    EXPECT_EQ(parseDetectionMode("Balanced"), DetectionMode::balanced);
    EXPECT_EQ(parseDetectionMode("Stable"), DetectionMode::stable);
    for (const char* text : {"stable", "STABLE", "", " Stable", "Stable ", "Responsiv"}) {
        EXPECT_EQ(parseDetectionMode(text), std::nullopt) << text;
        EXPECT_EQ(detectionModeOrBalanced(text), DetectionMode::balanced) << text;
    }
    EXPECT_EQ(detectionModeOrBalanced("Stable"), DetectionMode::stable);
}

TEST(DetectionModeTest, EachModeTunesTheFilterItsOwnWay) {
    const KalmanFilter responsive(-60, DetectionMode::responsive);
    EXPECT_DOUBLE_EQ(responsive.processNoise(), 0.4);
    EXPECT_DOUBLE_EQ(responsive.measurementNoise(), 1.5);
    EXPECT_DOUBLE_EQ(responsive.adaptiveNoiseCap(), 1.25);
    EXPECT_DOUBLE_EQ(responsive.velocityAlphaCap(), 0.6);

    const KalmanFilter balanced(-60, detectionModeOrBalanced("stable"));
    EXPECT_DOUBLE_EQ(balanced.processNoise(), 0.25);
    EXPECT_DOUBLE_EQ(balanced.measurementNoise(), 2.0);
    EXPECT_DOUBLE_EQ(balanced.adaptiveNoiseCap(), 1.5);
    EXPECT_DOUBLE_EQ(balanced.velocityAlphaCap(), 0.5);

    const KalmanFilter stable(-60, DetectionMode::stable);
    EXPECT_DOUBLE_EQ(stable.processNoise(), 0.07);
    EXPECT_DOUBLE_EQ(stable.measurementNoise(), 5.0);
    EXPECT_DOUBLE_EQ(stable.adaptiveNoiseCap(), 3.0);
    EXPECT_DOUBLE_EQ(stable.velocityAlphaCap(), 0.25);
    EXPECT_DOUBLE_EQ(stable.velocityProcessNoise(), 0.05);
}

}  // namespace
}  // namespace ambleguard
