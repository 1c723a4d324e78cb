#include "ui/ScheduleOverlay.h"

#include "OverlayTestSupport.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTimeEdit>

#include <gtest/gtest.h>

namespace ambleguard::ui {
namespace {

using test::widgetNamed;

// The simulated day starts at 09:00 local time.
class ScheduleOverlayTest : public ::testing::Test {
  protected:
    test::AppWorld world{test::AppWorld::onboarded()};
    SettingsStore& settings = world.app->settings;
    ScheduleOverlay overlay{*world.app};
};

TEST_F(ScheduleOverlayTest, TheLineSaysWhatTheControlsChose) {
    EXPECT_EQ(overlay.statusText(), "Schedule is disabled");
    auto* start = widgetNamed<QTimeEdit>(&overlay, "Start time");
    auto* end = widgetNamed<QTimeEdit>(&overlay, "End time");
    ASSERT_TRUE(start && end);
    EXPECT_FALSE(start->isEnabled());
    EXPECT_EQ(start->time(), QTime(1, 0));
    EXPECT_EQ(end->time(), QTime(6, 0));
    EXPECT_EQ(start->text(), "1:00 AM");

    widgetNamed<QCheckBox>(&overlay, "Enable Schedule")->click();
    EXPECT_TRUE(settings.boolForKey(keys::scheduleEnabled));
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(overlay.statusText(), "Actions will be paused between 1:00 AM and 6:00 AM");

    // 08:30 to 17:15 around 09:00: paused now, until the end.
    start->setTime(QTime(8, 30));
    end->setTime(QTime(17, 15));
    EXPECT_EQ(settings.integerForKey(keys::scheduleStartHour), 8);
    EXPECT_EQ(settings.integerForKey(keys::scheduleStartMinute), 30);
    EXPECT_EQ(settings.integerForKey(keys::scheduleEndHour), 17);
    EXPECT_EQ(settings.integerForKey(keys::scheduleEndMinute), 15);
    EXPECT_EQ(overlay.statusText(), "Actions paused until 5:15 PM");

    widgetNamed<QRadioButton>(&overlay, "Allow actions")->click();
    EXPECT_EQ(settings.stringForKey(keys::scheduleMode), "only");
    EXPECT_EQ(overlay.statusText(), "Actions allowed until 5:15 PM");

    start->setTime(QTime(10, 0));
    EXPECT_EQ(overlay.statusText(), "Actions will be allowed between 10:00 AM and 5:15 PM");
    widgetNamed<QRadioButton>(&overlay, "Pause actions")->click();
    EXPECT_EQ(settings.stringForKey(keys::scheduleMode), "suspend");
}

// While shown, the line follows the clock across the window's end.
TEST_F(ScheduleOverlayTest, TheLineFollowsTheClockWhileShown) {
    settings.setBool(keys::scheduleEnabled, true);
    settings.setInteger(keys::scheduleStartHour, 8);
    settings.setInteger(keys::scheduleStartMinute, 0);
    settings.setInteger(keys::scheduleEndHour, 9);
    settings.setInteger(keys::scheduleEndMinute, 1);
    overlay.show();
    EXPECT_EQ(overlay.statusText(), "Actions paused until 9:01 AM");
    world.platform.loop.advanceBy(55);
    EXPECT_EQ(overlay.statusText(), "Actions paused until 9:01 AM");
    world.platform.loop.advanceBy(5);
    EXPECT_EQ(overlay.statusText(), "Actions will be paused between 8:00 AM and 9:01 AM");
    overlay.hide();
}

}  // namespace
}  // namespace ambleguard::ui
