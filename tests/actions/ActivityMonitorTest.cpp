#include "actions/ActivityMonitor.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimIdleClock.h"
#include "platform/sim/SimMainLoop.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ambleguard {
namespace {

class ActivityMonitorTest : public ::testing::Test {
  protected:
    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    SettingsStore store{persistence, log};
    sim::SimIdleClock idle{clock};
    ActivityMonitor monitor{store, idle};
};

TEST_F(ActivityMonitorTest, GateOffNeverDefers) {
    idle.userInput();
    EXPECT_EQ(monitor.shouldDefer(), DeferDecision{});
    store.setBool(keys::activityMonitorEnabled, false);
    store.setDouble(keys::activityMonitorThreshold, 60);
    EXPECT_EQ(monitor.shouldDefer(), DeferDecision{});
}

TEST_F(ActivityMonitorTest, DefersForExactlyTheTimeUntilTheThresholdIsReached) {
    store.setBool(keys::activityMonitorEnabled, true);
    idle.setIdleFor(3.2);
    // Never written, then 0 and negative: all mean 10 s.
    DeferDecision decision = monitor.shouldDefer();
    EXPECT_TRUE(decision.defer);
    EXPECT_NEAR(decision.delay, 6.8, 1e-9);
    for (double stored : {0.0, -5.0}) {
        store.setDouble(keys::activityMonitorThreshold, stored);
        decision = monitor.shouldDefer();
        EXPECT_TRUE(decision.defer);
        EXPECT_NEAR(decision.delay, 6.8, 1e-9) << stored;
    }

    store.setDouble(keys::activityMonitorThreshold, 30);
    loop.advanceBy(20);  // idle 23.2 s now
    decision = monitor.shouldDefer();
    EXPECT_NEAR(decision.delay, 6.8, 1e-9);

    // New input in the meantime gives a new, longer delay.
    idle.userInput();
    loop.advanceBy(1);
    decision = monitor.shouldDefer();
    EXPECT_NEAR(decision.delay, 29.0, 1e-9);
}

TEST_F(ActivityMonitorTest, IdleExactlyAtOrPastTheThresholdDoesNotDefer) {
    store.setBool(keys::activityMonitorEnabled, true);
    store.setDouble(keys::activityMonitorThreshold, 10);
    idle.userInput();
    loop.advanceBy(9.999);
    EXPECT_TRUE(monitor.shouldDefer().defer);
    loop.advanceBy(0.001);
    EXPECT_EQ(monitor.shouldDefer(), DeferDecision{});
    loop.advanceBy(100);
    EXPECT_EQ(monitor.shouldDefer(), DeferDecision{});
}

TEST_F(ActivityMonitorTest, UnreadableIdleTimeNeverBlocks) {
    store.setBool(keys::activityMonitorEnabled, true);
    idle.userInput();
    idle.setReadable(false);
    EXPECT_FALSE(monitor.idleTime());
    EXPECT_EQ(monitor.shouldDefer(), DeferDecision{});
}

// A platform source that reports nonsense.
class FixedIdleClock final : public IdleClock {
  public:
    explicit FixedIdleClock(double seconds) : seconds_(seconds) {}
    std::optional<double> secondsSinceLastInput() override { return seconds_; }

  private:
    double seconds_;
};

TEST_F(ActivityMonitorTest, MeaninglessIdleTimesCountAsUnreadable) {
    store.setBool(keys::activityMonitorEnabled, true);
    for (double bad : {std::nan(""), -1.0, std::numeric_limits<double>::infinity()}) {
        FixedIdleClock source(bad);
        ActivityMonitor badMonitor(store, source);
        EXPECT_FALSE(badMonitor.idleTime()) << bad;
        EXPECT_EQ(badMonitor.shouldDefer(), DeferDecision{}) << bad;
    }
}

}  // namespace
}  // namespace ambleguard
