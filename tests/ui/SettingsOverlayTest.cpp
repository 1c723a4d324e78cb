#include "ui/SettingsOverlay.h"

#include "OverlayTestSupport.h"
#include "ui/SettingSlider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

namespace ambleguard::ui {
namespace {

using test::clickButton;
using test::openMessageBox;
using test::sliderNamed;
using test::widgetNamed;

class SettingsOverlayTest : public ::testing::Test {
  protected:
    QPushButton* button(const QString& name) { return widgetNamed<QPushButton>(&overlay, name); }
    QCheckBox* check(const QString& name) { return widgetNamed<QCheckBox>(&overlay, name); }

    test::AppWorld world{test::AppWorld::onboarded()};
    SettingsStore& settings = world.app->settings;
    SettingsOverlay overlay{*world.app};
};

// Sliders write only values of their range; values stored elsewhere show at the nearest end
// and are left as they are until the user moves the slider.
TEST_F(SettingsOverlayTest, SlidersKeepTheirRanges) {
    settings.setDouble(keys::lockCooldownPeriod, 0);
    settings.setDouble(keys::hysteresisAwayBuffer, 40);
    SettingSlider* unlock = sliderNamed(&overlay, "Unlock cooldown");
    SettingSlider* away = sliderNamed(&overlay, "Away offset");
    SettingSlider* idle = sliderNamed(&overlay, "Idle threshold");
    ASSERT_TRUE(unlock && away && idle);
    EXPECT_EQ(unlock->valueText(), "1 sec");
    EXPECT_EQ(unlock->slider()->value(), 0);
    EXPECT_EQ(settings.doubleForKey(keys::lockCooldownPeriod), 0);
    EXPECT_EQ(away->valueText(), "15 dBm");

    QTest::keyClick(unlock->slider(), Qt::Key_End);
    EXPECT_EQ(settings.doubleForKey(keys::lockCooldownPeriod), 180);
    QTest::keyClick(unlock->slider(), Qt::Key_Right);
    EXPECT_EQ(settings.doubleForKey(keys::lockCooldownPeriod), 180);
    QTest::keyClick(unlock->slider(), Qt::Key_Home);
    EXPECT_EQ(settings.doubleForKey(keys::lockCooldownPeriod), 1);

    // The idle threshold moves in steps of 5 from its shown default of 10.
    EXPECT_EQ(idle->valueText(), "10 sec");
    QTest::keyClick(idle->slider(), Qt::Key_Right);
    EXPECT_EQ(settings.doubleForKey(keys::activityMonitorThreshold), 15);
    EXPECT_EQ(idle->valueText(), "15 sec");
    QTest::keyClick(idle->slider(), Qt::Key_Home);
    EXPECT_EQ(settings.doubleForKey(keys::activityMonitorThreshold), 5);
}

TEST_F(SettingsOverlayTest, ResetDetectionAsksFirstAndOnlyTheConfirmationResets) {
    settings.setDouble(keys::hysteresisAwayBuffer, 9);
    settings.setString(keys::detectionMode, "Responsive");
    settings.setBool(keys::isPinEnabled, true);

    button("Reset Detection")->click();
    QMessageBox* box = openMessageBox(&overlay);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Reset detection settings to defaults?");
    EXPECT_EQ(box->informativeText(),
              "This resets signal processing and timing settings back to the default values:\n\n"
              "- Detection mode: Stable\n- Proximity threshold: -67 dBm\n"
              "- Return buffer: 4 dBm, Away buffer: 4 dBm\n- Dead band on graph: off\n"
              "- Action delay: 1 s\n- Unlock cooldown: 1 s, Lock cooldown: 1 s\n"
              "- Activity monitor: on at 10 s\n\n"
              "Kept as they are: your paired device, PIN, schedule, lock mode, notifications "
              "toggle, and the names typed into the Run Shortcut fields.");
    EXPECT_EQ(test::buttonTexts(box), (QStringList{"Cancel", "Reset detection"}));
    ASSERT_TRUE(clickButton(box, "Cancel"));
    EXPECT_EQ(settings.doubleForKey(keys::hysteresisAwayBuffer), 9);

    button("Reset Detection")->click();
    box = openMessageBox(&overlay);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(clickButton(box, "Reset detection"));
    EXPECT_EQ(settings.doubleForKey(keys::hysteresisAwayBuffer), 4);
    EXPECT_EQ(settings.stringForKey(keys::detectionMode), "Stable");
    EXPECT_TRUE(settings.boolForKey(keys::isPinEnabled));
    // The controls follow the reset.
    EXPECT_EQ(sliderNamed(&overlay, "Away offset")->valueText(), "4 dBm");
    EXPECT_TRUE(widgetNamed<QRadioButton>(&overlay, "Stable")->isChecked());
    EXPECT_EQ(openMessageBox(&overlay), nullptr);
}

TEST_F(SettingsOverlayTest, ResetEverythingAsksFirstThenRelaunchesIntoOnboarding) {
    settings.setString(keys::hashedPIN, std::string(64, 'a'));
    settings.setBool(keys::isPinEnabled, true);
    button("Reset Everything")->click();
    QMessageBox* box = openMessageBox(&overlay);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Reset everything and start over?");
    EXPECT_EQ(test::buttonTexts(box), (QStringList{"Cancel", "Reset Everything"}));
    ASSERT_TRUE(clickButton(box, "Cancel"));
    EXPECT_TRUE(settings.boolForKey(keys::userHasCompletedOnboarding));
    EXPECT_EQ(world.platform.appInstance.launches(), 0);

    button("Reset Everything")->click();
    ASSERT_TRUE(clickButton(openMessageBox(&overlay), "Reset Everything"));
    world.platform.loop.runDue();
    EXPECT_FALSE(settings.storedValue(keys::userHasCompletedOnboarding));
    EXPECT_EQ(settings.stringForKey(keys::hashedPIN), "");
    EXPECT_EQ(world.platform.appInstance.launches(), 1);
    EXPECT_EQ(world.platform.appInstance.terminations(), 1);
    EXPECT_FALSE(check("Enable PIN")->isChecked());
}

TEST_F(SettingsOverlayTest, ThePinSwitchClearsTheDigestAndTheButtonAsksForANewPin) {
    QSignalSpy asked(&overlay, &SettingsOverlay::pinSetupRequested);
    QPushButton* setPin = button("Set PIN");
    ASSERT_NE(setPin, nullptr);
    EXPECT_TRUE(setPin->isHidden());
    check("Enable PIN")->click();
    EXPECT_TRUE(settings.boolForKey(keys::isPinEnabled));
    EXPECT_FALSE(setPin->isHidden());
    setPin->click();
    EXPECT_EQ(asked.count(), 1);

    settings.setString(keys::hashedPIN, std::string(64, 'b'));
    EXPECT_EQ(setPin->text(), "Change PIN");
    check("Enable PIN")->click();
    EXPECT_FALSE(settings.boolForKey(keys::isPinEnabled));
    EXPECT_FALSE(settings.storedValue(keys::hashedPIN));
    EXPECT_TRUE(setPin->isHidden());
}

TEST_F(SettingsOverlayTest, TurningNotificationsOnAsksThePlatformAndFollowsItsAnswer) {
    world.platform.notificationPermission.setStatus(NotificationAuthorization::denied);
    QCheckBox* allowed = check("Notifications");
    allowed->click();
    EXPECT_TRUE(world.log.contains("Notifications toggle -> true (defaults: true)"));
    world.platform.loop.runDue();
    EXPECT_FALSE(settings.boolForKey(keys::notificationsAllowed));
    EXPECT_FALSE(allowed->isChecked());
    EXPECT_EQ(world.platform.alerts.shown().size(), 1U);

    world.platform.notificationPermission.setStatus(NotificationAuthorization::authorized);
    allowed->click();
    world.platform.loop.runDue();
    EXPECT_TRUE(allowed->isChecked());
    allowed->click();
    EXPECT_TRUE(world.log.contains("Notifications toggle -> false (defaults: false)"));

    // The test notification goes out whatever the switch says.
    widgetNamed<QPushButton>(&overlay, "Test notification")->click();
    world.platform.loop.runDue();
    ASSERT_EQ(world.platform.notifier.delivered().size(), 1U);
}

TEST_F(SettingsOverlayTest, SoundsArePickedAndPreviewedFromTheirRows) {
    auto* leave = widgetNamed<QComboBox>(&overlay, "Device leaves sound");
    ASSERT_NE(leave, nullptr);
    EXPECT_FALSE(leave->isEnabled());  // sounds are off until switched on
    EXPECT_EQ(leave->currentText(), "Drift");
    check("Sounds")->click();
    EXPECT_TRUE(leave->isEnabled());
    const int pulse = leave->findData("bundled:Pulse");
    ASSERT_GE(pulse, 0);
    leave->setCurrentIndex(pulse);
    Q_EMIT leave->activated(pulse);
    EXPECT_EQ(settings.stringForKey(keys::soundOnLeave), "bundled:Pulse");
    widgetNamed<QPushButton>(&overlay, "Preview device leaves sound")->click();
    world.platform.loop.runDue();
    const auto played = world.platform.soundOutput.playbacks();
    ASSERT_EQ(played.size(), 1U);
    EXPECT_NE(played[0].path.find("Pulse-leave"), std::string::npos);
    EXPECT_FLOAT_EQ(played[0].volume, 0.4F);
}

// The live line follows the idle clock once a second while the overlay is shown, and says
// nothing when the idle time cannot be read.
TEST_F(SettingsOverlayTest, LastInputLineFollowsTheIdleClock) {
    world.platform.idleClock.setIdleFor(3.4);
    overlay.show();
    EXPECT_EQ(overlay.lastInputText(), "Last input: 3s ago");
    world.platform.loop.advanceBy(0.999);
    EXPECT_EQ(overlay.lastInputText(), "Last input: 3s ago");
    world.platform.loop.advanceBy(0.001);
    EXPECT_EQ(overlay.lastInputText(), "Last input: 4s ago");
    world.platform.idleClock.setReadable(false);
    world.platform.loop.advanceBy(1.0);
    EXPECT_EQ(overlay.lastInputText(), "");
    overlay.hide();
}

TEST_F(SettingsOverlayTest, DoneAndEscapeClose) {
    QSignalSpy closed(&overlay, &OverlayPage::closed);
    overlay.closeButton()->click();
    QTest::keyClick(&overlay, Qt::Key_Escape);
    EXPECT_EQ(closed.count(), 2);
    EXPECT_EQ(overlay.closeButton()->text(), "Done");
}

}  // namespace
}  // namespace ambleguard::ui
