#include "actions/ScheduleManager.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace ambleguard {
namespace {

// A time zone two hours east of UTC, so a test that ignored it would read the wrong hour.
constexpr int kUtcOffset = 2 * 3600;

class ScheduleManagerTest : public ::testing::Test {
  protected:
    void setWindow(std::int64_t startHour, std::int64_t startMinute, std::int64_t endHour,
                   std::int64_t endMinute, std::string mode) {
        store.setBool(keys::scheduleEnabled, true);
        store.setString(keys::scheduleMode, std::move(mode));
        store.setInteger(keys::scheduleStartHour, startHour);
        store.setInteger(keys::scheduleStartMinute, startMinute);
        store.setInteger(keys::scheduleEndHour, endHour);
        store.setInteger(keys::scheduleEndMinute, endMinute);
    }

    // Moves the clock to this local time of day.
    void at(int hour, int minute, int second = 0) {
        using namespace std::chrono;
        const auto day = floor<days>(sim::SimClock::defaultStart());
        clock.set(
            Instant(day + hours(hour) + minutes(minute) + seconds(second) - seconds(kUtcOffset)));
    }

    bool suppressedAt(int hour, int minute, int second = 0) {
        at(hour, minute, second);
        return schedule.shouldSuppress();
    }

    sim::SimClock clock{sim::SimClock::defaultStart(), kUtcOffset};
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    SettingsStore store{persistence, log};
    ScheduleManager schedule{store, clock, log};
};

TEST_F(ScheduleManagerTest, DisabledScheduleNeverSuppresses) {
    setWindow(0, 0, 23, 59, "suspend");
    store.setBool(keys::scheduleEnabled, false);
    EXPECT_FALSE(suppressedAt(12, 0));
    setWindow(9, 0, 17, 0, "only");
    store.removeObject(keys::scheduleEnabled);
    EXPECT_FALSE(suppressedAt(3, 0));
}

TEST_F(ScheduleManagerTest, SuspendWindowAcrossMidnight) {
    setWindow(22, 0, 6, 0, "suspend");
    EXPECT_TRUE(suppressedAt(23, 30));
    EXPECT_TRUE(suppressedAt(5, 59, 59)) << "seconds are ignored";
    EXPECT_TRUE(suppressedAt(22, 0));
    EXPECT_TRUE(suppressedAt(0, 0));
    EXPECT_FALSE(suppressedAt(6, 0));
    EXPECT_FALSE(suppressedAt(21, 59));
    EXPECT_TRUE(
        log.contains("Locking suppressed by schedule (mode: suspend, within schedule: "
                     "true)"));
}

TEST_F(ScheduleManagerTest, OnlyDuringDaytimeWindow) {
    setWindow(9, 0, 17, 0, "only");
    EXPECT_TRUE(suppressedAt(8, 59));
    EXPECT_TRUE(suppressedAt(17, 0));
    EXPECT_FALSE(suppressedAt(9, 0));
    EXPECT_FALSE(suppressedAt(16, 59));
    EXPECT_TRUE(
        log.contains("Locking suppressed by schedule (mode: only, within schedule: false)"));
}

TEST_F(ScheduleManagerTest, EmptyWindowIsNeverInsideInEitherMode) {
    // Never-written times read as 0:00 to 0:00.
    store.setBool(keys::scheduleEnabled, true);
    for (int hour : {0, 12, 23}) {
        at(hour, 0);
        EXPECT_FALSE(schedule.isWithinSchedule());
        EXPECT_FALSE(schedule.shouldSuppress()) << "absent mode means suspend, at " << hour;
    }
    store.setString(keys::scheduleMode, "only");
    EXPECT_TRUE(suppressedAt(0, 0));
    EXPECT_TRUE(suppressedAt(13, 45));

    setWindow(8, 30, 8, 30, "only");
    EXPECT_TRUE(suppressedAt(8, 30));
    setWindow(8, 30, 8, 30, "suspend");
    EXPECT_FALSE(suppressedAt(8, 30));
}

TEST_F(ScheduleManagerTest, UnrecognisedModeBehavesAsSuspend) {
    setWindow(9, 0, 17, 0, "Only");
    EXPECT_TRUE(suppressedAt(10, 0));
    EXPECT_FALSE(suppressedAt(18, 0));
    EXPECT_TRUE(
        log.contains("Locking suppressed by schedule (mode: suspend, within schedule: "
                     "true)"));
}

TEST_F(ScheduleManagerTest, FollowsTheLocalTimeZone) {
    setWindow(9, 0, 17, 0, "suspend");
    at(10, 0);
    EXPECT_TRUE(schedule.isWithinSchedule());
    clock.setUtcOffset(-8 * 3600);  // the same instant is 00:00 there
    EXPECT_FALSE(schedule.isWithinSchedule());
}

TEST_F(ScheduleManagerTest, OutOfRangeTimesMakeAnEmptyWindowAndAreReportedOnce) {
    constexpr auto kHuge = std::numeric_limits<std::int64_t>::max();
    constexpr auto kTiny = std::numeric_limits<std::int64_t>::min();
    struct Case {
        std::int64_t startHour, startMinute, endHour, endMinute;
    };
    for (const Case& c : {Case{kHuge, 0, 6, 0}, Case{22, kTiny, 6, 0}, Case{22, 0, 24, 0},
                          Case{22, 0, 6, 60}, Case{-1, 0, 6, 0}}) {
        log.clear();
        setWindow(c.startHour, c.startMinute, c.endHour, c.endMinute, "suspend");
        EXPECT_FALSE(suppressedAt(23, 0));
        EXPECT_FALSE(suppressedAt(3, 0));
        store.setString(keys::scheduleMode, "only");
        EXPECT_TRUE(suppressedAt(23, 0));
        EXPECT_EQ(log.entries().front().level, LogLevel::error);
        EXPECT_TRUE(log.containsFragment("is not a valid time of day"));
        std::size_t reports = 0;
        for (const auto& entry : log.entries()) {
            reports += entry.level == LogLevel::error ? 1 : 0;
        }
        EXPECT_EQ(reports, 1u) << "one report per bad window, not one per question";
    }

    // Once corrected, the window works again.
    setWindow(22, 0, 6, 0, "suspend");
    EXPECT_TRUE(suppressedAt(23, 0));
}

}  // namespace
}  // namespace ambleguard
