#include "presence/KalmanFilter.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/sim/SimClock.h"

namespace ambleguard {
namespace {

const Instant t0 = sim::SimClock::defaultStart();

Instant at(double seconds) {
    return addSeconds(t0, seconds);
}

TEST(KalmanFilterTest, FirstUpdateTreatsTheStepAsOneSecondAndKeepsTheReading) {
    KalmanFilter filter(-60, DetectionMode::stable);
    EXPECT_EQ(filter.lastUpdateTime(), std::nullopt);

    EXPECT_DOUBLE_EQ(filter.update(t0, -60), -60.0);
    // P = (10 + q) * R / (10 + q + R) with a one-second prediction.
    EXPECT_DOUBLE_EQ(filter.errorCovariance(), 10.07 * 5.0 / (10.07 + 5.0));
    const double v = 1.0 + 0.05;
    EXPECT_DOUBLE_EQ(filter.velocityCovariance(), v * (1 - v / (v + 5.0 / 1.0)));
    EXPECT_DOUBLE_EQ(filter.velocity(), 0.0);
    EXPECT_EQ(filter.lastUpdateTime(), t0);
}

TEST(KalmanFilterTest, RepeatedTimestampKeepsVelocityButStillTightensTheEstimate) {
    KalmanFilter filter(-60, DetectionMode::balanced);
    filter.update(at(0), -60);
    filter.update(at(1), -50);  // gives the filter some velocity
    const double velocity = filter.velocity();
    const double covariance = filter.errorCovariance();
    const double velocityCovariance = filter.velocityCovariance();
    ASSERT_NE(velocity, 0.0);

    filter.update(at(1), -45);
    EXPECT_DOUBLE_EQ(filter.velocity(), velocity);
    EXPECT_LT(filter.errorCovariance(), covariance);
    // Only two values were in the history, so R is the base noise; dt^2 is floored at 0.01.
    const double r = 2.0;
    EXPECT_DOUBLE_EQ(
        filter.velocityCovariance(),
        velocityCovariance * (1 - velocityCovariance / (velocityCovariance + r / 0.01)));
}

TEST(KalmanFilterTest, LongGapsCountAsFiveSecondsAndBackwardTimeAsNone) {
    KalmanFilter afterGap(-70, DetectionMode::balanced);
    KalmanFilter afterFive(-70, DetectionMode::balanced);
    afterGap.update(at(0), -70);
    afterFive.update(at(0), -70);
    afterGap.update(at(30), -60);
    afterFive.update(at(5), -60);
    EXPECT_DOUBLE_EQ(afterGap.stateEstimate(), afterFive.stateEstimate());
    EXPECT_DOUBLE_EQ(afterGap.errorCovariance(), afterFive.errorCovariance());
    EXPECT_DOUBLE_EQ(afterGap.velocity(), afterFive.velocity());

    KalmanFilter backwards(-70, DetectionMode::balanced);
    KalmanFilter same(-70, DetectionMode::balanced);
    for (auto* filter : {&backwards, &same}) {
        filter->update(at(0), -70);
        filter->update(at(2), -66);
    }
    backwards.update(at(1), -60);
    same.update(at(2), -60);
    EXPECT_DOUBLE_EQ(backwards.stateEstimate(), same.stateEstimate());
    EXPECT_DOUBLE_EQ(backwards.velocity(), same.velocity());
    EXPECT_EQ(backwards.lastUpdateTime(), at(1));  // the earlier time is still remembered
}

TEST(KalmanFilterTest, AdaptiveNoiseUsesThePopulationDeviationWithinItsCaps) {
    KalmanFilter filter(-60, DetectionMode::stable);
    filter.update(at(0), -60);
    filter.update(at(1), -62);
    EXPECT_DOUBLE_EQ(filter.adaptiveMeasurementNoise(), 5.0);  // fewer than three values

    filter.update(at(2), -60);
    // Population deviation of {-60, -62, -60} is sqrt(8/9), not the sample deviation sqrt(4/3).
    EXPECT_DOUBLE_EQ(filter.adaptiveMeasurementNoise(), 5.0 + 0.5 * std::sqrt(8.0 / 9.0));

    KalmanFilter steady(-60, DetectionMode::stable);
    for (int i = 0; i < 10; ++i) {
        steady.update(at(i), -60);
    }
    EXPECT_DOUBLE_EQ(steady.adaptiveMeasurementNoise(), 5.0);

    struct Case {
        DetectionMode mode;
        double cap;
    };
    for (auto [mode, cap] : {Case{DetectionMode::stable, 15.0}, Case{DetectionMode::balanced, 3.0},
                             Case{DetectionMode::responsive, 1.875}}) {
        KalmanFilter noisy(-40, mode);
        for (int i = 0; i < 12; ++i) {
            noisy.update(at(i), i % 2 == 0 ? -40 : -100);
        }
        EXPECT_DOUBLE_EQ(noisy.adaptiveMeasurementNoise(), cap) << rawValue(mode);
        EXPECT_EQ(noisy.recentMeasurements().size(), 10u);
        EXPECT_EQ(noisy.recentMeasurements().back(), -100.0);  // raw values, not estimates
    }
}

TEST(KalmanFilterTest, VelocityFollowsCorrectionsWithCappedWeightsAndRates) {
    // A one-second step: the weight is min(0.5 * dt, cap), 0.25 in the stable mode.
    KalmanFilter slow(-70, DetectionMode::stable);
    slow.update(at(0), -70);
    const double predicted = slow.stateEstimate();
    slow.update(at(1), -60);
    const double correction = slow.stateEstimate() - predicted;
    EXPECT_DOUBLE_EQ(slow.velocity(), 0.25 * correction);

    // A 60 dB jump 0.05 s later: the rate is clamped to 100 dB/s and weighted by 0.05.
    KalmanFilter burst(-90, DetectionMode::responsive);
    burst.update(at(0), -90);
    burst.update(at(0.05), -30);
    EXPECT_DOUBLE_EQ(burst.velocity(), 5.0);
}

TEST(KalmanFilterTest, TrendHistoryKeepsFortyRecentSamples) {
    KalmanFilter filter(-60, DetectionMode::balanced);
    for (int i = 0; i < 41; ++i) {
        filter.update(at(i * 0.1), -60);
    }
    EXPECT_EQ(filter.trendSamples().size(), 40u);
    EXPECT_EQ(filter.trendSamples().front().time, at(0.1));

    filter.update(at(4.0 + 9.0), -61);
    ASSERT_EQ(filter.trendSamples().size(), 1u);
    EXPECT_EQ(filter.trendSamples().front().rssi, -61.0);

    // Exactly eight seconds old stays; anything older goes, even out of order.
    KalmanFilter edges(-60, DetectionMode::balanced);
    edges.update(at(10), -60);
    edges.update(at(11), -61);
    edges.update(at(2), -62);  // out of order
    edges.update(at(18), -63);
    ASSERT_EQ(edges.trendSamples().size(), 3u);
    EXPECT_EQ(edges.trendSamples()[0].time, at(10));
    EXPECT_EQ(edges.trendSamples()[1].time, at(11));
    EXPECT_EQ(edges.trendSamples()[2].time, at(18));
}

}  // namespace
}  // namespace ambleguard
