#include "ui/PasswordOverlay.h"

#include "OverlayTestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <variant>

namespace ambleguard::ui {
namespace {

using test::clickButton;
using test::openMessageBox;
using test::widgetNamed;

namespace phase = unlock_test_phase;

// On the simulated platform of AppWorld the password is typed into the lock screen.
class PasswordOverlayTest : public ::testing::Test {
  protected:
    void confirmTest(PasswordOverlay& overlay) {
        overlay.testUnlock();
        QMessageBox* box = openMessageBox(&overlay);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(),
                  "This locks your screen and tries to unlock it automatically. "
                  "Continue?");
        EXPECT_EQ(test::buttonTexts(box), (QStringList{"Cancel", "Lock & test"}));
        ASSERT_TRUE(clickButton(box, "Lock & test"));
    }

    test::AppWorld world{test::AppWorld::onboarded()};
    SettingsStore& settings = world.app->settings;
};

TEST_F(PasswordOverlayTest, SaveNeedsTextThenStoresTurnsAutoUnlockOnAndCloses) {
    PasswordOverlay overlay(*world.app);
    QSignalSpy closed(&overlay, &OverlayPage::closed);
    auto* save = widgetNamed<QPushButton>(&overlay, "Save");
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(save->isEnabled());
    overlay.save();
    EXPECT_EQ(world.platform.keychain.itemCount(), 0U);
    EXPECT_FALSE(settings.storedValue(keys::autoUnlockEnabled));
    EXPECT_EQ(closed.count(), 0);

    QTest::keyClicks(overlay.passwordField(), "hunter2");
    EXPECT_EQ(overlay.passwordField()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(overlay.candidateText(), "Will test the entered password.");
    save->click();
    EXPECT_EQ(world.platform.keychain.itemCount(), 1U);
    EXPECT_TRUE(settings.boolForKey(keys::autoUnlockEnabled));
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(overlay.passwordField()->text().isEmpty());
}

// The choice of typing is stored for the next start; the page itself keeps today's method.
TEST_F(PasswordOverlayTest, TheChoiceToTypeIsStoredForTheNextStart) {
    PasswordOverlay overlay(*world.app);
    auto* choice = widgetNamed<QCheckBox>(&overlay, "Type the password");
    ASSERT_NE(choice, nullptr);
    EXPECT_FALSE(choice->isChecked());
    choice->click();
    EXPECT_TRUE(settings.boolForKey(keys::unlockByTyping));
    choice->click();
    EXPECT_EQ(settings.storedValue(keys::unlockByTyping), SettingValue(false));

    settings.setBool(keys::unlockByTyping, true);
    PasswordOverlay again(*world.app);
    EXPECT_TRUE(widgetNamed<QCheckBox>(&again, "Type the password")->isChecked());
}

TEST_F(PasswordOverlayTest, AFailedSaveSaysSoAndStaysOpen) {
    world.platform.keychain.failWith(-61);
    PasswordOverlay overlay(*world.app);
    QSignalSpy closed(&overlay, &OverlayPage::closed);
    QTest::keyClicks(overlay.passwordField(), "hunter2");
    QTest::keyClick(overlay.passwordField(), Qt::Key_Return);
    EXPECT_EQ(overlay.statusText(), "Failed to store password in your keyring");
    EXPECT_FALSE(settings.boolForKey(keys::autoUnlockEnabled));
    EXPECT_EQ(closed.count(), 0);
}

TEST_F(PasswordOverlayTest, DeleteIsOfferedOnlyWithAStoredPassword) {
    PasswordOverlay first(*world.app);
    EXPECT_TRUE(widgetNamed<QPushButton>(&first, "Delete Password")->isHidden());
    ASSERT_TRUE(world.app->passwords.storePassword("hunter2"));
    settings.setBool(keys::autoUnlockEnabled, true);
    PasswordOverlay overlay(*world.app);
    EXPECT_EQ(overlay.candidateText(), "Will test the saved password.");
    auto* remove = widgetNamed<QPushButton>(&overlay, "Delete Password");
    EXPECT_FALSE(remove->isHidden());
    remove->click();
    EXPECT_EQ(world.platform.keychain.itemCount(), 0U);
    EXPECT_FALSE(settings.boolForKey(keys::autoUnlockEnabled));
}

// Without a candidate nothing is locked or started, and the line of a finished test is cleared.
TEST_F(PasswordOverlayTest, LockAndTestWithoutACandidateStartsNothing) {
    world.platform.lockScreen.setMayPostEvents(false);
    world.app->unlockTest.startTest("x");  // ends at once: no permission
    PasswordOverlay overlay(*world.app);
    EXPECT_EQ(overlay.testStatusText(), "Password typing needs an X11 session.");
    EXPECT_EQ(overlay.candidateText(), "");
    confirmTest(overlay);
    world.platform.loop.advanceBy(1);
    EXPECT_FALSE(world.app->unlockTest.isRunning());
    EXPECT_FALSE(world.platform.screenSession.screenLocked());
    EXPECT_EQ(overlay.testStatusText(), "");
}

TEST_F(PasswordOverlayTest, TheEnteredPasswordIsTestedAndNeverStored) {
    world.platform.lockScreen.setHonoursUnlockRequests(true);
    PasswordOverlay overlay(*world.app);
    QTest::keyClicks(overlay.passwordField(), "hunter2");
    confirmTest(overlay);
    EXPECT_TRUE(world.app->unlockTest.isRunning());
    EXPECT_EQ(overlay.testStatusText(), "Locking screen…");
    world.platform.loop.advanceBy(20);
    EXPECT_FALSE(world.app->unlockTest.isRunning());
    EXPECT_TRUE(std::holds_alternative<phase::Finished>(world.app->unlockTest.phase().get()));
    EXPECT_FALSE(overlay.testStatusText().isEmpty());
    EXPECT_EQ(world.platform.keychain.itemCount(), 0U);
    EXPECT_EQ(overlay.passwordField()->text(), "hunter2");
}

// Where the session unlocks itself there is no password field; the test runs without one.
TEST(PasswordOverlaySessionUnlock, NoPasswordIsAskedForAndTheTestStillRuns) {
    test::SessionUnlockWorld world;
    PasswordOverlay overlay(*world.app);
    EXPECT_EQ(overlay.passwordField(), nullptr);
    EXPECT_EQ(widgetNamed<QPushButton>(&overlay, "Save"), nullptr);
    EXPECT_EQ(overlay.candidateText(), "");
    overlay.testUnlock();
    ASSERT_TRUE(clickButton(openMessageBox(&overlay), "Lock & test"));
    EXPECT_TRUE(world.app->unlockTest.isRunning());
    world.platform.loop.advanceBy(20);
    EXPECT_EQ(overlay.testStatusText(), "Success.");

    QSignalSpy closed(&overlay, &OverlayPage::closed);
    widgetNamed<QPushButton>(&overlay, "Turn On Auto-Unlock")->click();
    EXPECT_TRUE(world.app->settings.boolForKey(keys::autoUnlockEnabled));
    EXPECT_EQ(closed.count(), 1);
}

}  // namespace
}  // namespace ambleguard::ui
