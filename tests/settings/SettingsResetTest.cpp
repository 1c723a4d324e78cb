#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimShellPorts.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsReset.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

namespace k = keys;

class SettingsResetTest : public ::testing::Test {
  protected:
    SettingsResetTest() {
        // A user who changed a bit of everything.
        store.setString(k::detectionMode, "Responsive");
        store.setDouble(k::averageMinRSSI, -80);
        store.setDouble(k::hysteresisAwayBuffer, 9);
        store.setBool(k::decideOnRawRSSI, true);
        store.setString(k::checkedPeripheralUUID, "8D5A2C1E-0F4B-4C3A-9E61-2B7D9F0A1C23");
        store.setString(k::checkedPeripheralName, "Phone");
        store.setBool(k::isPinEnabled, true);
        store.setString(k::hashedPIN, "abc");
        store.setBool(k::scheduleEnabled, true);
        store.setInteger(k::scheduleStartHour, 22);
        store.setString(k::lockMode, "Run Shortcut");
        store.setBool(k::notificationsAllowed, true);
        store.setString(k::shortcutNameOnLock, "Away");
        store.setString(k::shortcutNameOnReturn, "Back");
        store.setBool(k::awayShortcutRanForCurrentEvent, true);
        store.setBool(k::soundsEnabled, true);
        store.setBool(k::canScan, true);
        store.setBool(k::userHasCompletedOnboarding, true);
        store.setString(k::devicePresenceState, "Absent");
        store.setDate(k::lastScreenLockTime, clock.now());
        loginItem.setStatus(LoginItem::Status::enabled);
    }

    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    SettingsStore store{persistence, log};
    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::SimLoginItem loginItem;
    NullConsoleOutput console;
    LaunchAtLogin launchAtLogin{loginItem, console, log};
    sim::SimAppInstance app;
    sim::SimAlerts alerts;
    int scanStops = 0;
    SettingsReset reset{store, launchAtLogin, app, alerts, loop, log, [this] { ++scanStops; }};
};

TEST_F(SettingsResetTest, DetectionResetWritesDefaultsExplicitlyAndKeepsEverythingElse) {
    int changes = 0;
    auto connection = store.onChange([&] { ++changes; });
    reset.resetDetectionSettings();
    EXPECT_EQ(changes, 13);
    EXPECT_EQ(store.stringForKey(k::detectionMode), "Stable");
    EXPECT_EQ(store.doubleForKey(k::averageMinRSSI), -67.0);
    EXPECT_EQ(store.doubleForKey(k::hysteresisAwayBuffer), 4.0);
    // Stored explicitly, so direct readers see the panel's values.
    EXPECT_TRUE(store.boolForKey(k::activityMonitorEnabled));
    EXPECT_EQ(store.storedValue(k::decideOnRawRSSI), SettingValue(false));
    EXPECT_EQ(store.doubleForKey(k::activityMonitorThreshold), 10.0);

    EXPECT_EQ(store.stringForKey(k::checkedPeripheralUUID), "8D5A2C1E-0F4B-4C3A-9E61-2B7D9F0A1C23");
    EXPECT_TRUE(store.boolForKey(k::isPinEnabled));
    EXPECT_TRUE(store.boolForKey(k::scheduleEnabled));
    EXPECT_EQ(store.integerForKey(k::scheduleStartHour), 22);
    EXPECT_EQ(store.stringForKey(k::lockMode), "Run Shortcut");
    EXPECT_TRUE(store.boolForKey(k::notificationsAllowed));
    EXPECT_EQ(store.stringForKey(k::shortcutNameOnLock), "Away");
}

TEST_F(SettingsResetTest, ResetEverythingStartsOverIntoOnboardingAndRelaunches) {
    reset.resetEverythingAndRelaunch();
    EXPECT_FALSE(store.storedValue(k::userHasCompletedOnboarding));
    EXPECT_FALSE(store.storedValue(k::checkedPeripheralUUID));
    EXPECT_FALSE(store.storedValue(k::checkedPeripheralName));
    // The PIN digest is an empty string, not absent.
    EXPECT_EQ(store.storedValue(k::hashedPIN), SettingValue(std::string()));
    EXPECT_EQ(store.storedValue(k::scheduleStartHour), SettingValue(std::int64_t{1}));
    EXPECT_EQ(store.storedValue(k::scheduleEndHour), SettingValue(std::int64_t{6}));
    EXPECT_EQ(store.stringForKey(k::lockMode), "Lock Screen");
    EXPECT_EQ(store.stringForKey(k::shortcutNameOnReturn), "");
    EXPECT_FALSE(store.boolForKey(k::canScan));
    EXPECT_EQ(store.doubleForKey(k::averageMinRSSI), -67.0);
    // Keys not named stay.
    EXPECT_TRUE(store.boolForKey(k::soundsEnabled));
    EXPECT_EQ(store.stringForKey(k::devicePresenceState), "Absent");
    EXPECT_TRUE(store.dateForKey(k::lastScreenLockTime));
    EXPECT_TRUE(store.boolForKey(k::awayShortcutRanForCurrentEvent));

    EXPECT_FALSE(loginItem.isEnabled());
    EXPECT_EQ(app.launches(), 1);
    EXPECT_EQ(app.terminations(), 0);  // the old instance ends on the main queue, after launch
    loop.runDue();
    EXPECT_EQ(app.terminations(), 1);
}

TEST_F(SettingsResetTest, CompleteResetRemovesItsListStopsScanningAndQuits) {
    reset.completeReset();
    ASSERT_EQ(alerts.shown().size(), 2u);
    EXPECT_EQ(alerts.shown()[0].title, "Reset All Settings");
    EXPECT_EQ(alerts.shown()[0].buttons, (std::vector<std::string>{"Reset Everything", "Cancel"}));
    EXPECT_EQ(alerts.shown()[1].title, "Reset Complete");
    EXPECT_EQ(scanStops, 1);
    EXPECT_TRUE(log.contains("Performing complete settings reset"));
    EXPECT_TRUE(log.contains("Settings reset completed"));

    for (auto key : {k::isPinEnabled, k::hashedPIN, k::averageMinRSSI, k::decideOnRawRSSI,
                     k::canScan, k::userHasCompletedOnboarding, k::lockMode, k::devicePresenceState,
                     k::checkedPeripheralUUID, k::notificationsAllowed}) {
        EXPECT_FALSE(store.storedValue(key)) << key;
    }
    // Survivors: the sequencing flag, sounds, schedule, shortcut names, detection mode.
    EXPECT_TRUE(store.boolForKey(k::awayShortcutRanForCurrentEvent));
    EXPECT_TRUE(store.boolForKey(k::soundsEnabled));
    EXPECT_EQ(store.integerForKey(k::scheduleStartHour), 22);
    EXPECT_EQ(store.stringForKey(k::shortcutNameOnLock), "Away");
    EXPECT_EQ(store.stringForKey(k::detectionMode), "Responsive");
    EXPECT_FALSE(loginItem.isEnabled());
    EXPECT_EQ(app.terminations(), 1);
    EXPECT_EQ(app.launches(), 0);
}

TEST_F(SettingsResetTest, CancellingTheCompleteResetChangesNothing) {
    alerts.answerWith(1);
    reset.completeReset();
    EXPECT_EQ(alerts.shown().size(), 1u);
    EXPECT_EQ(scanStops, 0);
    EXPECT_EQ(store.stringForKey(k::hashedPIN), "abc");
    EXPECT_EQ(app.terminations(), 0);
}

}  // namespace
}  // namespace ambleguard
