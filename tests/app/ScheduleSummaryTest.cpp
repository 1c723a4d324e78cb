#include "app/ScheduleSummary.h"

#include "actions/ScheduleManager.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

class ScheduleSummaryTest : public ::testing::Test {
  protected:
    // The simulated day starts at 09:00 UTC; with no offset that is the local time too.
    void at(int hour, int minute) {
        clock.set(addSeconds(sim::SimClock::defaultStart(), (hour - 9) * 3600.0 + minute * 60.0));
    }
    void window(int startHour, int startMinute, int endHour, int endMinute) {
        settings.setInteger(keys::scheduleStartHour, startHour);
        settings.setInteger(keys::scheduleStartMinute, startMinute);
        settings.setInteger(keys::scheduleEndHour, endHour);
        settings.setInteger(keys::scheduleEndMinute, endMinute);
    }

    sim::SimClock clock;
    sim::RecordingLogSink log;
    sim::MemorySettings persistence;
    SettingsStore settings{persistence, log};
    ScheduleManager gate{settings, clock, log};
    ScheduleSummary summary{settings, gate};
};

TEST(FormatTimeOfDay, TwelveHourClockWithoutLeadingZero) {
    EXPECT_EQ(formatTimeOfDay(0, 0), "12:00 AM");
    EXPECT_EQ(formatTimeOfDay(1, 5), "1:05 AM");
    EXPECT_EQ(formatTimeOfDay(11, 59), "11:59 AM");
    EXPECT_EQ(formatTimeOfDay(12, 0), "12:00 PM");
    EXPECT_EQ(formatTimeOfDay(23, 30), "11:30 PM");
    // Hand-edited values out of a day's range cannot crash or print "25:75".
    EXPECT_EQ(formatTimeOfDay(25, 75), "11:59 PM");
    EXPECT_EQ(formatTimeOfDay(-3, -1), "12:00 AM");
}

// The panel shows 1:00 to 6:00 until the times are written, while the gate reads an empty
// window: pausing then never holds actions back, so the line promises a future pause.
TEST_F(ScheduleSummaryTest, OffUntilEnabledThenThePanelsDefaultWindow) {
    EXPECT_EQ(summary.text(), "Schedule is disabled");
    settings.setBool(keys::scheduleEnabled, true);
    at(3, 0);
    EXPECT_EQ(summary.text(), "Actions will be paused between 1:00 AM and 6:00 AM");
}

TEST_F(ScheduleSummaryTest, PausingSaysUntilWhenInsideTheWindow) {
    settings.setBool(keys::scheduleEnabled, true);
    settings.setString(keys::scheduleMode, "suspend");
    window(22, 0, 6, 30);
    at(23, 30);
    EXPECT_EQ(summary.text(), "Actions paused until 6:30 AM");
    at(6, 30);
    EXPECT_EQ(summary.text(), "Actions will be paused between 10:00 PM and 6:30 AM");
    // Any other mode text pauses, as the gate reads it.
    settings.setString(keys::scheduleMode, "sometimes");
    at(5, 59);
    EXPECT_EQ(summary.text(), "Actions paused until 6:30 AM");
}

TEST_F(ScheduleSummaryTest, AllowingSaysUntilWhenInsideTheWindow) {
    settings.setBool(keys::scheduleEnabled, true);
    settings.setString(keys::scheduleMode, "only");
    window(9, 0, 17, 15);
    at(16, 59);
    EXPECT_EQ(summary.text(), "Actions allowed until 5:15 PM");
    at(17, 15);
    EXPECT_EQ(summary.text(), "Actions will be allowed between 9:00 AM and 5:15 PM");
    at(8, 59);
    EXPECT_EQ(summary.text(), "Actions will be allowed between 9:00 AM and 5:15 PM");
}

}  // namespace
}  // namespace ambleguard
