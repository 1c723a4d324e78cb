#include "actions/AwayActionSequencer.h"

#include "ActionsTestWorld.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

using test::ActionsTestWorld;
using Texts = std::vector<std::string>;

class AwayActionSequencerTest : public ::testing::Test {
  protected:
    ActionsTestWorld w;
};

// Every guard is set to stop the call from a given one on; only the first of them may act, and
// the later ones must not even be asked.
TEST(AwayActionGuards, ApplyInOrderAndTheFirstThatAppliesEndsTheCall) {
    struct Expected {
        Texts texts;
        std::size_t pendingWork;
    };
    const std::vector<Expected> byFirstBlockingGuard = {
        {{"Away action skipped - unlock self-test in progress"}, 0},
        {{"Away action suppressed by schedule"}, 0},
        {{"Away action deferred - user active, retrying in 5.0s"}, 1},
        {{"Away action deferred - screen unlocked 0.5s ago, retrying in 0.5s"}, 1},
        {{}, 0},  // not onboarded / scanning off: silently nothing
        {{}, 1},  // nothing blocks: the delayed lock is scheduled
    };
    for (std::size_t first = 0; first < byFirstBlockingGuard.size(); ++first) {
        SCOPED_TRACE(first);
        ActionsTestWorld w;
        w.unlockTest.running = first <= 0;
        w.schedule.suppress = first <= 1;
        w.activity.decision = first <= 2 ? DeferDecision{true, 5.0} : DeferDecision{};
        if (first <= 3) {
            w.setDateAgo(keys::lastScreenUnlockTime, 0.5);
        }
        w.store.setBool(keys::canScan, first > 4);
        w.setPresence("Absent");

        w.away.performAwayAction();

        EXPECT_EQ(w.log.texts(), byFirstBlockingGuard[first].texts);
        EXPECT_EQ(w.loop.pendingCount(), byFirstBlockingGuard[first].pendingWork);
        EXPECT_EQ(w.schedule.asked, first >= 1 ? 1 : 0);
        EXPECT_EQ(w.activity.asked, first >= 2 ? 1 : 0);
        w.loop.advanceBy(3.0);
        EXPECT_EQ(w.screenLock.directLocks, first == 5 ? 1 : 0);
    }
}

TEST_F(AwayActionSequencerTest, ActivityDeferralRetriesOnceAndReevaluatesEveryGuard) {
    w.activity.decision = {true, 5.0};
    w.depart("Weak Signal");
    w.depart("Weak Signal");
    EXPECT_TRUE(w.logged("Away action skipped - activity defer already scheduled"));
    EXPECT_TRUE(w.away.awayActivityRetryScheduled());

    // The retry finds the user still active and defers again, once.
    w.loop.advanceBy(4.999);
    EXPECT_EQ(w.activity.asked, 2);
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.activity.asked, 3);
    EXPECT_EQ(w.log.count("Away action deferred - user active, retrying in 5.0s"), 2u);
    EXPECT_TRUE(w.away.awayActivityRetryScheduled());

    // The user stops; the next retry treats a weak signal like an absent device and locks.
    w.activity.decision = {};
    w.loop.advanceBy(5.0);
    EXPECT_FALSE(w.away.awayActivityRetryScheduled());
    w.loop.advanceBy(2.999);
    EXPECT_EQ(w.screenLock.directLocks, 0);
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.screenLock.directLocks, 1);
    w.loop.advanceBy(60.0);
    EXPECT_EQ(w.screenLock.directLocks, 1);
}

TEST_F(AwayActionSequencerTest, UnlockCooldownDefersByTheRestOfItAndRetriesOnce) {
    // Never written and stored 0 both mean one second.
    for (const bool storeZero : {false, true}) {
        SCOPED_TRACE(storeZero);
        ActionsTestWorld world;
        if (storeZero) {
            world.store.setDouble(keys::unlockCooldownPeriod, 0.0);
        }
        world.setDateAgo(keys::lastScreenUnlockTime, 0.4);
        world.depart();
        EXPECT_TRUE(
            world.logged("Away action deferred - screen unlocked 0.4s ago, retrying in 0.6s"));
        world.depart();
        EXPECT_TRUE(world.logged("Away action skipped - deferred retry already scheduled"));

        world.loop.advanceBy(0.599);
        EXPECT_TRUE(world.away.awayCooldownRetryScheduled());
        world.loop.advanceBy(0.001);
        EXPECT_FALSE(world.away.awayCooldownRetryScheduled());
        world.loop.advanceBy(3.0);
        EXPECT_EQ(world.screenLock.directLocks, 1);
        world.loop.advanceBy(60.0);
        EXPECT_EQ(world.screenLock.directLocks, 1);
    }
}

TEST_F(AwayActionSequencerTest, RetryThatFindsTheDevicePresentIsCancelled) {
    w.setDateAgo(keys::lastScreenUnlockTime, 0.2);
    w.depart();
    w.setPresence("Present");
    w.loop.advanceBy(10.0);
    EXPECT_TRUE(w.logged("Deferred away action cancelled - device returned"));
    EXPECT_EQ(w.screenLock.directLocks, 0);
    EXPECT_FALSE(w.away.awayCooldownRetryScheduled());
}

TEST_F(AwayActionSequencerTest, UnlockDateInTheFutureImposesNoCooldown) {
    // The wall clock was set back an hour after the last unlock.
    w.setDateAgo(keys::lastScreenUnlockTime, -3600.0);
    w.depart();
    EXPECT_FALSE(w.log.containsFragment("deferred"));
    w.loop.advanceBy(3.0);
    EXPECT_EQ(w.screenLock.directLocks, 1);
}

TEST_F(AwayActionSequencerTest, DelayedLockHappensAtThreeSecondsIfTheDeviceStaysAway) {
    w.depart();
    w.loop.advanceBy(2.999);
    EXPECT_EQ(w.screenLock.directLocks, 0);
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.screenLock.directLocks, 1);
    EXPECT_FALSE(w.logged("Away action cancelled - device returned during delay"));
}

TEST_F(AwayActionSequencerTest, ReturnWithinTheGraceDelayCancelsTheLock) {
    w.depart();
    w.loop.advanceBy(2.999);
    w.setPresence("Present");
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.screenLock.directLocks, 0);
    EXPECT_TRUE(w.logged("Away action cancelled - device returned during delay"));
}

TEST_F(AwayActionSequencerTest, DelayedLockFollowsTheModeAndTheLockState) {
    w.screenLock.locked = true;
    w.depart();
    w.loop.advanceBy(3.0);
    EXPECT_EQ(w.screenLock.directLocks, 0);
    EXPECT_EQ(w.console.lines(), Texts{"Lock screen skipped - screen is already locked"});

    // The screen saver start checks the lock state itself.
    w.store.setString(keys::lockMode, "Start Screensaver");
    w.depart();
    w.loop.advanceBy(3.0);
    EXPECT_EQ(w.screenLock.screenSaverStarts, 1);

    // An unknown mode locks; two quick departures each lock (the lock notice never came).
    w.screenLock.locked = false;
    w.store.setString(keys::lockMode, "Hibernate");
    w.depart();
    w.loop.advanceBy(0.5);
    w.depart("Weak Signal");
    w.loop.advanceBy(3.0);
    EXPECT_EQ(w.screenLock.directLocks, 2);
}

TEST_F(AwayActionSequencerTest, ShortcutModeWithoutAnAwayShortcutDoesNothingElse) {
    w.useShortcuts("", "Back");
    w.depart();
    w.loop.advanceBy(10.0);
    EXPECT_EQ(w.log.texts(),
              (Texts{"Away triggered (shortcut mode): executing immediately",
                     "doAwayShortcut() called - state: Absent, awayRan: false, pending: false",
                     "No away shortcut configured"}));
    EXPECT_EQ(w.screenLock.directLocks, 0);
    EXPECT_TRUE(w.shortcutsRun().empty());
}

TEST_F(AwayActionSequencerTest, AwayShortcutRunsOncePerDepartureWhileAReturnIsOwed) {
    w.useShortcuts();
    w.depart();
    EXPECT_EQ(w.shortcutsRun(), Texts{"Away"});
    EXPECT_TRUE(w.awayRan());
    EXPECT_EQ(w.store.dateForKey(keys::lastAwayShortcutTime), w.clock.now());
    EXPECT_TRUE(w.logged("Away shortcut executing: Away"));
    EXPECT_TRUE(w.logged("Set awayShortcutRanForCurrentEvent = true (before execution)"));

    w.loop.advanceBy(20.0);
    w.depart("Weak Signal");
    EXPECT_TRUE(w.logged("Away shortcut skipped - already ran, waiting for return"));
    EXPECT_EQ(w.shortcutsRun(), Texts{"Away"});
    EXPECT_EQ(w.screenLock.directLocks, 0);
}

TEST_F(AwayActionSequencerTest, WithoutAReturnShortcutEveryDepartureRunsTheAwayShortcut) {
    w.useShortcuts("Away", "");
    w.depart();
    w.loop.advanceBy(20.0);
    w.depart();
    EXPECT_EQ(w.shortcutsRun(), (Texts{"Away", "Away"}));
    EXPECT_FALSE(w.awayRan());
}

TEST_F(AwayActionSequencerTest, LockedScreenSkipsTheAwayShortcutWhenAskedTo) {
    w.useShortcuts();
    w.store.setBool(keys::preventAwayShortcutWhenLocked, true);
    w.screenLock.locked = true;
    w.depart();
    EXPECT_TRUE(w.logged("Away shortcut skipped - screen is already locked"));
    EXPECT_TRUE(w.shortcutsRun().empty());
    EXPECT_FALSE(w.awayRan());
    EXPECT_FALSE(w.store.dateForKey(keys::lastAwayShortcutTime).has_value());
}

TEST_F(AwayActionSequencerTest, AwayShortcutWaitsUntilSevenSecondsAfterTheReturnShortcut) {
    w.useShortcuts();
    w.setDateAgo(keys::lastReturnShortcutTime, 2.5);
    w.depart();
    EXPECT_TRUE(w.logged("Away shortcut postponed - return ran 2.5s ago, waiting 4.5s"));
    w.depart();
    EXPECT_TRUE(w.logged("Away shortcut already pending"));

    w.loop.advanceBy(4.499);
    EXPECT_TRUE(w.shortcutsRun().empty());
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.shortcutsRun(), Texts{"Away"});
    EXPECT_TRUE(w.logged("Cooldown complete, proceeding with away shortcut"));
    EXPECT_TRUE(w.logged("Away shortcut executing (after cooldown): Away"));
    EXPECT_TRUE(w.awayRan());
    EXPECT_FALSE(w.sequencing.awayShortcutPending());
}

TEST_F(AwayActionSequencerTest, ReturnDuringTheWaitCancelsThePostponedAwayShortcut) {
    w.useShortcuts();
    w.setDateAgo(keys::lastReturnShortcutTime, 1.0);
    w.depart();
    w.loop.advanceBy(2.0);
    w.comeBack();
    EXPECT_TRUE(w.logged("Cancelled pending away shortcut - device returned"));
    EXPECT_FALSE(w.sequencing.awayShortcutPending());

    w.loop.advanceBy(10.0);
    EXPECT_TRUE(w.logged("Postponed away shortcut cancelled - device returned (state: Present)"));
    EXPECT_TRUE(w.shortcutsRun().empty());
}

TEST_F(AwayActionSequencerTest, ReturnDateInTheFutureHoldsTheAwayShortcutForOneGapOnly) {
    w.useShortcuts();
    w.setDateAgo(keys::lastReturnShortcutTime, -3600.0);
    w.depart();
    EXPECT_TRUE(w.logged("Away shortcut postponed - return ran 0.0s ago, waiting 7.0s"));
    w.loop.advanceBy(6.999);
    EXPECT_TRUE(w.shortcutsRun().empty());
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.shortcutsRun(), Texts{"Away"});
}

TEST_F(AwayActionSequencerTest, FailedAwayShortcutIsLoggedAndTheSequencingStands) {
    w.useShortcuts();
    w.launcher.setScript("Away", sim::SimProcessScript{ProcessExit{1, "", ""}});
    w.depart();
    const auto started = w.clock.now();
    w.loop.advanceBy(1.0);
    EXPECT_TRUE(
        w.logged("Away shortcut reported failure (sequencing already advanced; not retrying)"));
    EXPECT_TRUE(w.awayRan());
    EXPECT_EQ(w.store.dateForKey(keys::lastAwayShortcutTime), started);
    EXPECT_EQ(w.shortcutsRun().size(), 1u);
}

}  // namespace
}  // namespace ambleguard
