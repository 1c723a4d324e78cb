#include "UnlockTestWorld.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ambleguard::test {
namespace {

using ::testing::ElementsAre;
using Strings = std::vector<std::string>;

struct StoredPasswordWorld : UnlockTestWorld {
    explicit StoredPasswordWorld(const std::string& stored = kPassword) {
        EXPECT_TRUE(passwords.storePassword(stored));
        lock();
        log.clear();
    }
};

TEST(ScreenUnlocker, PreconditionsAreCheckedInOrderAndNothingIsStartedWhenOneFails) {
    UnlockTestWorld w;
    w.store.removeObject(keys::autoUnlockEnabled);
    EXPECT_FALSE(w.unlocker.unlockScreen());
    EXPECT_FALSE(w.unlocker.unlockAfterUserWake());
    EXPECT_EQ(w.log.count("Auto-unlock is disabled"), 2u);

    w.store.setBool(keys::autoUnlockEnabled, true);
    EXPECT_FALSE(w.unlocker.unlockScreen());
    EXPECT_TRUE(w.log.contains("Screen is not locked, skipping unlock"));

    w.lock();
    w.lockScreen.setMayPostEvents(false);
    EXPECT_FALSE(w.unlocker.unlockScreen());
    EXPECT_TRUE(w.log.contains("No Accessibility permission, cannot unlock"));

    w.lockScreen.setMayPostEvents(true);
    EXPECT_FALSE(w.unlocker.unlockScreen());
    EXPECT_TRUE(w.log.contains("No password stored, cannot unlock"));

    w.loop.advanceBy(10);
    EXPECT_TRUE(w.lockScreen.actions().empty());
}

TEST(ScreenUnlocker, ReturnPathWakesPressesSpaceThenTypesThreeFragmentsAndReturn) {
    StoredPasswordWorld w;
    ASSERT_TRUE(w.unlocker.unlockScreen());
    EXPECT_TRUE(w.log.contains("Attempting screen unlock via keystroke injection"));
    EXPECT_TRUE(w.log.contains("Display wake requested"));

    w.loop.advanceBy(0.499);
    EXPECT_TRUE(w.keystrokes().empty());
    w.loop.advanceBy(0.001);
    EXPECT_THAT(w.keystrokes(), ElementsAre("Space"));
    w.loop.advanceBy(0.999);
    EXPECT_EQ(w.keystrokes().size(), 1u);
    w.loop.advanceBy(0.001);
    // 21 units: the emoji at units 6-7 moves the first cut from 7 to 8.
    EXPECT_THAT(w.keystrokes(),
                ElementsAre("Space", "Delete", "typed 8", "typed 7", "typed 6", "Return"));
    EXPECT_TRUE(w.log.contains("Password typed, unlock attempted"));

    w.loop.advanceBy(3.0);
    EXPECT_FALSE(w.session.screenLocked());
    EXPECT_TRUE(w.log.contains("Auto-unlock succeeded, screen unlocked 0.40s after Return"));
    EXPECT_TRUE(w.sounds.played.empty());
    EXPECT_EQ(w.lockScreen.fieldLength(), 0u);
}

TEST(ScreenUnlocker, AWrongPasswordIsReportedAfterThreeSecondsWithTheFailureSound) {
    StoredPasswordWorld w(kPassword + "!");
    ASSERT_TRUE(w.unlocker.unlockScreen());
    w.loop.advanceBy(1.5 + 2.999);
    EXPECT_TRUE(w.sounds.played.empty());
    w.loop.advanceBy(0.001);
    EXPECT_TRUE(w.log.contains("Auto-unlock failed: screen still locked 3.0s after Return"));
    EXPECT_THAT(w.sounds.played, ElementsAre(SoundEvent::unlockFailed));
    EXPECT_TRUE(w.session.screenLocked());
    EXPECT_EQ(w.lockScreen.fieldLength(), 0u);  // Return cleared the field
}

TEST(ScreenUnlocker, ScreenUnlockedBeforeTypingTypesNothing) {
    StoredPasswordWorld w;
    ASSERT_TRUE(w.unlocker.unlockScreen());
    w.loop.advanceBy(0.5);
    w.session.userUnlocksScreen();
    w.loop.advanceBy(5.0);
    EXPECT_THAT(w.keystrokes(), ElementsAre("Space"));
    EXPECT_TRUE(
        w.log.contains("Screen was unlocked during wake sequence, aborting password entry"));
}

TEST(ScreenUnlocker, ScreenUnlockedBetweenFragmentsStopsTyping) {
    StoredPasswordWorld w;
    auto unlockOnFirstRun = w.lockScreen.onAction([&](const sim::SimLockScreen::Action& a) {
        if (a.kind == sim::SimLockScreen::Action::Kind::typed) {
            w.session.userUnlocksScreen();
        }
    });
    ASSERT_TRUE(w.unlocker.unlockScreen());
    w.loop.advanceBy(5.0);
    EXPECT_THAT(w.keystrokes(), ElementsAre("Space", "Delete", "typed 8"));
    EXPECT_TRUE(w.log.contains("Screen unlocked before fragment 2/3, aborting password entry"));
    EXPECT_EQ(w.lockScreen.unitsTypedOnDesktop(), 0u);
}

TEST(ScreenUnlocker, ScreenUnlockedAfterTheLastFragmentGetsNoReturnAndNoWatch) {
    StoredPasswordWorld w;
    int runs = 0;
    auto unlockOnLastRun = w.lockScreen.onAction([&](const sim::SimLockScreen::Action& a) {
        if (a.kind == sim::SimLockScreen::Action::Kind::typed && ++runs == 3) {
            w.session.userUnlocksScreen();
        }
    });
    ASSERT_TRUE(w.unlocker.unlockScreen());
    w.loop.advanceBy(10.0);
    EXPECT_EQ(w.keystrokes().back(), "typed 6");
    EXPECT_TRUE(w.log.contains("Screen unlocked after final fragment, not pressing Return"));
    EXPECT_EQ(w.lockScreen.returnsOnDesktop(), 0u);
    EXPECT_FALSE(w.log.containsFragment("Auto-unlock"));
}

TEST(ScreenUnlocker, LongFragmentsGoAsRunsOfTwentyAndOneCharacterAsOneFragment) {
    StoredPasswordWorld w(std::string(63, 'p'));
    ASSERT_TRUE(w.unlocker.unlockScreen());
    w.loop.advanceBy(1.5);
    EXPECT_THAT(w.keystrokes(), ElementsAre("Space", "Delete", "typed 20", "typed 1", "typed 20",
                                            "typed 1", "typed 20", "typed 1", "Return"));

    StoredPasswordWorld one("x");
    ASSERT_TRUE(one.unlocker.unlockScreen());
    one.loop.advanceBy(1.5);
    EXPECT_THAT(one.keystrokes(), ElementsAre("Space", "Delete", "typed 1", "Return"));
}

TEST(ScreenUnlocker, AfterUserWakeClearsTheFieldPressesSpaceAndChecksTheLockFirst) {
    StoredPasswordWorld w;
    ASSERT_TRUE(w.unlocker.unlockAfterUserWake());
    EXPECT_TRUE(w.log.contains("User woke the Mac, unlocking"));
    EXPECT_TRUE(w.lockScreen.actions().empty());  // no display wake
    w.loop.advanceBy(0.5);
    EXPECT_THAT(w.keystrokes(), ElementsAre("Delete", "Space"));
    w.loop.advanceBy(1.0);
    EXPECT_THAT(w.keystrokes(), ElementsAre("Delete", "Space", "Delete", "typed 8", "typed 7",
                                            "typed 6", "Return"));
    w.loop.advanceBy(1.0);
    EXPECT_FALSE(w.session.screenLocked());

    StoredPasswordWorld early;
    ASSERT_TRUE(early.unlocker.unlockAfterUserWake());
    early.session.userUnlocksScreen();
    early.loop.advanceBy(5.0);
    EXPECT_TRUE(early.keystrokes().empty());
    EXPECT_TRUE(early.log.contains("Screen was unlocked before wake key, aborting"));
}

TEST(ScreenUnlocker, TwoAttemptsRunTheirOwnChainsAndTheLaterWatchReports) {
    StoredPasswordWorld w(kPassword + "!");
    ASSERT_TRUE(w.unlocker.unlockScreen());
    w.loop.advanceBy(1.0);
    ASSERT_TRUE(w.unlocker.unlockScreen());
    w.loop.advanceBy(10.0);
    EXPECT_EQ(w.log.count("Password typed, unlock attempted"), 2u);
    EXPECT_TRUE(w.log.contains("Unlock outcome watch superseded by a new attempt"));
    EXPECT_EQ(w.sounds.played.size(), 1u);
}

TEST(ScreenUnlockerBySessionRequest, NeedsNoPasswordAndAsksTheSessionInsteadOfTyping) {
    UnlockTestWorld w(UnlockMethod::sessionRequest);
    w.lock();
    ASSERT_TRUE(w.unlocker.unlockScreen());
    EXPECT_TRUE(w.log.contains("Attempting screen unlock via session unlock request"));
    w.loop.advanceBy(1.499);
    EXPECT_EQ(w.lockScreen.actions().size(), 1u);  // the display wake only
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.lockScreen.actions().back().kind,
              sim::SimLockScreen::Action::Kind::unlockRequested);
    EXPECT_TRUE(w.keystrokes().empty());
    w.loop.advanceBy(1.0);
    EXPECT_TRUE(
        w.log.contains("Auto-unlock succeeded, screen unlocked 0.10s after the unlock request"));
    EXPECT_EQ(w.keychain.itemCount(), 0u);
}

TEST(ScreenUnlockerBySessionRequest, ALockerThatIgnoresTheRequestOrNoSessionFails) {
    UnlockTestWorld w(UnlockMethod::sessionRequest);
    w.lockScreen.setHonoursUnlockRequests(false);
    w.lock();
    ASSERT_TRUE(w.unlocker.unlockScreen());
    w.loop.advanceBy(5.0);
    EXPECT_TRUE(
        w.log.contains("Auto-unlock failed: screen still locked 3.0s after the unlock request"));
    EXPECT_THAT(w.sounds.played, ElementsAre(SoundEvent::unlockFailed));

    UnlockTestWorld lost(UnlockMethod::sessionRequest);
    lost.lockScreen.setSessionFound(false);
    lost.lock();
    EXPECT_FALSE(lost.unlocker.unlockScreen());
    EXPECT_TRUE(lost.log.contains("Own login session not found, cannot unlock"));
}

}  // namespace
}  // namespace ambleguard::test
