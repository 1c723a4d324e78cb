#include "actions/ReturnActionSequencer.h"

#include "ActionsTestWorld.h"
#include "unlock/IdleUnlockTestStatus.h"
#include "unlock/LoggingScreenUnlocker.h"
#include "unlock/LoggingUnlockOnTouch.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

using test::ActionsTestWorld;
using Texts = std::vector<std::string>;

class ReturnActionSequencerTest : public ::testing::Test {
  protected:
    // The away shortcut ran `secondsAgo` and the device is away now.
    void awayShortcutRan(double secondsAgo) {
        w.useShortcuts();
        w.setDateAgo(keys::lastAwayShortcutTime, secondsAgo);
        w.store.setBool(keys::awayShortcutRanForCurrentEvent, true);
        w.setPresence("Absent");
    }

    ActionsTestWorld w;
};

TEST_F(ReturnActionSequencerTest, OutsideShortcutModeOnlyTheUnlockRuns) {
    w.store.setBool(keys::awayShortcutRanForCurrentEvent, true);  // left over; must not matter
    w.store.setString(keys::shortcutNameOnReturn, "Back");
    w.comeBack();
    w.loop.advanceBy(30.0);
    EXPECT_EQ(w.log.texts(), Texts{"performReturnAction() called - awayRan: true"});
    EXPECT_TRUE(w.shortcutsRun().empty());
    EXPECT_EQ(w.unlocker.calls, 1);
}

TEST_F(ReturnActionSequencerTest, ReturnShortcutNeedsANameAndAnAwayShortcutThatRan) {
    w.useShortcuts("Away", "");
    w.store.setBool(keys::awayShortcutRanForCurrentEvent, true);
    w.comeBack();
    EXPECT_TRUE(w.logged("No return shortcut configured"));

    w.useShortcuts();
    w.store.setBool(keys::awayShortcutRanForCurrentEvent, false);
    w.comeBack();
    EXPECT_TRUE(w.logged("Return shortcut skipped - away shortcut hasn't run"));
    w.loop.advanceBy(30.0);
    EXPECT_TRUE(w.shortcutsRun().empty());
}

TEST_F(ReturnActionSequencerTest, ShortcutsAlternateAcrossTheGapInBothDirections) {
    w.useShortcuts();
    w.store.setDouble(keys::lastSeenTimeout, 2.0);

    // Away now, back 3.0 s later: the return waits 4.0 s more, then counts down 2.0 s.
    w.depart();
    EXPECT_EQ(w.shortcutsRun(), Texts{"Away"});
    w.loop.advanceBy(3.0);
    w.comeBack();
    EXPECT_TRUE(w.logged("Return shortcut postponed - away ran 3.0s ago, waiting 4.0s"));
    EXPECT_TRUE(w.sequencing.returnShortcutPending());
    w.loop.advanceBy(3.999);
    EXPECT_FALSE(w.returns.returnCountdownActive());
    w.loop.advanceBy(0.001);
    EXPECT_TRUE(w.logged("Cooldown complete, proceeding with return shortcut"));
    EXPECT_TRUE(w.logged("Starting return shortcut countdown: 2.0s"));
    EXPECT_FALSE(w.sequencing.returnShortcutPending());
    w.loop.advanceBy(1.999);
    EXPECT_EQ(w.shortcutsRun(), Texts{"Away"});
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.shortcutsRun(), (Texts{"Away", "Back"}));
    EXPECT_TRUE(w.logged("Return shortcut executing: Back"));
    EXPECT_FALSE(w.awayRan());
    EXPECT_EQ(w.store.dateForKey(keys::lastReturnShortcutTime), w.clock.now());

    // Away again 2.5 s after the return shortcut started: it waits 4.5 s.
    w.loop.advanceBy(2.5);
    w.depart();
    EXPECT_TRUE(w.logged("Away shortcut postponed - return ran 2.5s ago, waiting 4.5s"));
    w.loop.advanceBy(4.499);
    EXPECT_EQ(w.shortcutsRun().size(), 2u);
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.shortcutsRun(), (Texts{"Away", "Back", "Away"}));
    EXPECT_TRUE(w.awayRan());
}

TEST_F(ReturnActionSequencerTest, WeakSignalAtTheEndOfTheCountdownCancelsButKeepsThePairing) {
    awayShortcutRan(60.0);
    w.comeBack();
    EXPECT_TRUE(w.logged("Starting return shortcut countdown: 1.0s"));  // the unset default
    w.setPresence("Weak Signal");
    w.loop.advanceBy(1.0);
    EXPECT_TRUE(w.logged("Return shortcut cancelled - device no longer present after delay"));
    EXPECT_TRUE(w.awayRan());
    EXPECT_TRUE(w.shortcutsRun().empty());

    // A later return still owes the return shortcut.
    w.comeBack();
    w.loop.advanceBy(1.0);
    EXPECT_EQ(w.shortcutsRun(), Texts{"Back"});
}

TEST_F(ReturnActionSequencerTest, SecondReturnDuringTheCountdownOrTheWaitStartsNothingNew) {
    awayShortcutRan(60.0);
    w.comeBack();
    w.comeBack();
    EXPECT_EQ(w.log.count("Return shortcut countdown already in progress or pending"), 1u);
    w.loop.advanceBy(5.0);
    EXPECT_EQ(w.shortcutsRun(), Texts{"Back"});

    awayShortcutRan(1.0);
    w.comeBack();
    w.comeBack();
    EXPECT_EQ(w.log.count("Return shortcut countdown already in progress or pending"), 2u);
    w.loop.advanceBy(30.0);
    EXPECT_EQ(w.shortcutsRun(), (Texts{"Back", "Back"}));
}

TEST_F(ReturnActionSequencerTest, ScheduleSuppressionEndsThePairing) {
    awayShortcutRan(60.0);
    w.schedule.suppress = true;
    w.comeBack();
    EXPECT_TRUE(w.logged("Return shortcut suppressed by schedule"));
    EXPECT_FALSE(w.awayRan());
    EXPECT_FALSE(w.returns.returnCountdownActive());

    // Suppression that begins during the countdown ends it the same way.
    awayShortcutRan(60.0);
    w.schedule.suppress = false;
    w.comeBack();
    w.schedule.suppress = true;
    w.loop.advanceBy(1.0);
    EXPECT_EQ(w.log.count("Return shortcut suppressed by schedule"), 2u);
    EXPECT_FALSE(w.awayRan());
    EXPECT_TRUE(w.shortcutsRun().empty());
}

TEST_F(ReturnActionSequencerTest, LockedScreenSkipsTheReturnShortcutWhenAskedTo) {
    awayShortcutRan(60.0);
    w.store.setBool(keys::preventReturnShortcutWhenLocked, true);
    w.screenLock.locked = true;
    w.comeBack();
    w.loop.advanceBy(1.0);
    EXPECT_TRUE(w.logged("Return shortcut skipped - screen is locked"));
    EXPECT_FALSE(w.awayRan());
    EXPECT_TRUE(w.shortcutsRun().empty());
}

TEST_F(ReturnActionSequencerTest, NewDepartureCancelsThePostponedReturnShortcut) {
    w.useShortcuts();
    w.depart();
    w.loop.advanceBy(3.0);
    w.comeBack();  // postponed by 4.0 s
    w.loop.advanceBy(1.0);
    w.depart();
    EXPECT_TRUE(w.logged("Cancelled pending return shortcut - device left again"));
    EXPECT_TRUE(w.logged("Away shortcut skipped - already ran, waiting for return"));
    EXPECT_FALSE(w.sequencing.returnShortcutPending());

    w.loop.advanceBy(3.0);
    EXPECT_TRUE(w.logged("Postponed return shortcut cancelled - device no longer present"));
    EXPECT_EQ(w.shortcutsRun(), Texts{"Away"});
    EXPECT_TRUE(w.awayRan());  // the next return still owes the return shortcut
}

TEST_F(ReturnActionSequencerTest, AwayDateInTheFutureHoldsTheReturnShortcutForOneGapOnly) {
    awayShortcutRan(-3600.0);
    w.comeBack();
    EXPECT_TRUE(w.logged("Return shortcut postponed - away ran 0.0s ago, waiting 7.0s"));
    w.loop.advanceBy(7.0 + 1.0);
    EXPECT_EQ(w.shortcutsRun(), Texts{"Back"});
}

TEST_F(ReturnActionSequencerTest, UnlockWaitsForTheLockCooldownThenRetriesIfStillPresent) {
    w.store.setDouble(keys::lockCooldownPeriod, 1.0);
    w.setDateAgo(keys::lastScreenLockTime, 0.3);
    w.comeBack();
    w.returns.performUnlockOnReturn();
    EXPECT_EQ(w.console.lines(),
              (Texts{"Unlock action deferred - screen locked 0.3s ago, retrying in 0.7s",
                     "Unlock action skipped - deferred retry already scheduled"}));
    w.loop.advanceBy(0.699);
    EXPECT_EQ(w.unlocker.calls, 0);
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.unlocker.calls, 1);
    EXPECT_FALSE(w.returns.unlockRetryScheduled());
}

TEST_F(ReturnActionSequencerTest, DeferredUnlockIsDroppedWhenTheDeviceLeftAgain) {
    w.setDateAgo(keys::lastScreenLockTime, 0.5);  // cooldown never written: 1.0 s
    w.comeBack();
    w.setPresence("Weak Signal");
    w.loop.advanceBy(0.5);
    EXPECT_TRUE(w.console.contains("Deferred unlock action cancelled - device no longer present"));
    EXPECT_EQ(w.unlocker.calls, 0);
}

TEST_F(ReturnActionSequencerTest, LockDateInTheFutureImposesNoCooldown) {
    w.setDateAgo(keys::lastScreenLockTime, -3600.0);
    w.comeBack();
    EXPECT_EQ(w.unlocker.calls, 1);
    EXPECT_TRUE(w.console.lines().empty());
}

TEST_F(ReturnActionSequencerTest, UnlockGatesAndUnlockOnTouch) {
    w.unlockTest.running = true;
    w.schedule.suppress = true;
    w.returns.performUnlockOnReturn();
    w.unlockTest.running = false;
    w.returns.performUnlockOnReturn();
    EXPECT_EQ(w.console.lines(), (Texts{"Unlock action skipped - unlock self-test in progress",
                                        "Unlock action suppressed by schedule"}));

    w.schedule.suppress = false;
    w.store.setBool(keys::userHasCompletedOnboarding, false);
    w.returns.performUnlockOnReturn();
    EXPECT_EQ(w.unlocker.calls, 0);

    w.store.setBool(keys::userHasCompletedOnboarding, true);
    w.store.setBool(keys::unlockOnTouchForReturn, true);
    w.returns.performUnlockOnReturn();
    EXPECT_EQ(w.unlockOnTouch.arms, std::vector<bool>{true});
    EXPECT_EQ(w.unlocker.calls, 0);
}

TEST(ReturnActionStandIns, UnlockRequestsReachTheStandInsUntilTheRealComponentsExist) {
    ActionsTestWorld w;
    IdleUnlockTestStatus selfTest;
    LoggingScreenUnlocker unlocker(w.log);
    LoggingUnlockOnTouch unlockOnTouch(w.log);
    ReturnActionSequencer returns(w.store, w.presence, w.clock, w.loop, w.log, w.console,
                                  w.screenLock, w.schedule, selfTest, unlocker, unlockOnTouch,
                                  w.shortcuts, w.sequencing);
    returns.performUnlockOnReturn();
    w.store.setBool(keys::unlockOnTouchForReturn, true);
    returns.performUnlockOnReturn();
    EXPECT_EQ(unlocker.calls(), 1);
    EXPECT_EQ(unlockOnTouch.armCalls(), 1);
    EXPECT_TRUE(w.log.containsFragment("automatic unlock is not available"));
}

}  // namespace
}  // namespace ambleguard
