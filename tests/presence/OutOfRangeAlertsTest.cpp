#include "presence/OutOfRangeAlerts.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/RecordingNotifier.h"
#include "platform/sim/SimClock.h"
#include "settings/SettingsKeys.h"

namespace ambleguard {
namespace {

using Reason = PresenceEngine::GoneReason;

class OutOfRangeAlertsTest : public ::testing::Test {
  protected:
    OutOfRangeAlertsTest() { settings.setBool(keys::canScan, true); }

    const NotificationRequest& only() {
        EXPECT_EQ(notifier.delivered().size(), 1u);
        return notifier.delivered().back();
    }

    sim::SimClock clock;
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    SettingsStore settings{persistence, log};
    sim::RecordingNotifier notifier;
    PresenceEngine engine;
    SignalReadout readout;
    OutOfRangeAlerts alerts{clock, settings, notifier, engine, readout, log};
};

TEST_F(OutOfRangeAlertsTest, NothingIsSentWhileMonitoringIsOff) {
    settings.setBool(keys::canScan, false);
    alerts.showNotification(Reason::weak);
    EXPECT_TRUE(notifier.delivered().empty());
    EXPECT_TRUE(
        log.contains("showNotification requested (reason: weak, notificationsAllowed: false)"));
}

TEST_F(OutOfRangeAlertsTest, OutOfRangeNamesTheDeviceAndTheAverageSignal) {
    alerts.showNotification(Reason::forced);
    EXPECT_EQ(only().title, "Ambleguard");
    EXPECT_EQ(only().body, "Unknown is out of range. Last RSSI: -127");
    EXPECT_EQ(only().interruptionLevel, InterruptionLevel::timeSensitive);

    settings.setString(keys::checkedPeripheralName, "Ada's phone");
    readout.publish(-80, -78);
    alerts.showNotification(Reason::weak);
    EXPECT_EQ(notifier.delivered().back().body, "Ada's phone is out of range. Last RSSI: -78");
}

TEST_F(OutOfRangeAlertsTest, SilenceCountsWholeSecondsSinceTheNewestReading) {
    settings.setString(keys::checkedPeripheralName, "Watch");
    alerts.showNotification(Reason::silent);
    EXPECT_EQ(only().body, "Watch stopped responding (no signal for 0 seconds)");

    engine.ingest(-70, clock.now());
    clock.set(addSeconds(clock.now(), 12.6));
    alerts.showNotification(Reason::silent);
    EXPECT_EQ(notifier.delivered().back().body,
              "Watch stopped responding (no signal for 13 seconds)");
}

TEST_F(OutOfRangeAlertsTest, TheSystemSoundPlaysOnlyWhenEventSoundsAreOff) {
    alerts.showNotification(Reason::weak);
    settings.setBool(keys::soundsEnabled, true);
    alerts.showNotification(Reason::weak);
    ASSERT_EQ(notifier.delivered().size(), 2u);
    EXPECT_TRUE(notifier.delivered()[0].playsSound);
    EXPECT_FALSE(notifier.delivered()[1].playsSound);

    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    EXPECT_TRUE(std::regex_match(notifier.delivered()[0].identifier, uuid));
    EXPECT_NE(notifier.delivered()[0].identifier, notifier.delivered()[1].identifier);
}

TEST_F(OutOfRangeAlertsTest, AFailedDeliveryIsLoggedOnly) {
    notifier.failWith("Notifications are not allowed for this application");
    alerts.showNotification(Reason::weak);
    EXPECT_TRUE(log.contains(
        "Error showing notification: Notifications are not allowed for this application"));
}

}  // namespace
}  // namespace ambleguard
