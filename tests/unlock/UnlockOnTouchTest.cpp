#include "unlock/UnlockOnTouch.h"

#include "UnlockTestWorld.h"
#include "unlock/DisplayWakeSource.h"

#include <gtest/gtest.h>

#include <thread>

namespace ambleguard::test {
namespace {

struct TouchWorld : UnlockTestWorld {
    TouchWorld() {
        store.setBool(keys::userHasCompletedOnboarding, true);
        store.setBool(keys::canScan, true);
        touch.start();
    }

    void setPresence(const char* state) { store.setString(keys::devicePresenceState, state); }

    bool suppressed = false;
    bool selfTest = false;
    int fires = 0;
    DisplayWakeClassifier wakeSources{lockScreen, clock, log};
    UnlockOnTouch touch{UnlockOnTouch::Dependencies{
        .settings = store,
        .idleTime = [this] { return idleClock.secondsSinceLastInput(); },
        .screenLocked = [this] { return session.screenLocked(); },
        .suppressed = [this] { return suppressed; },
        .selfTestRunning = [this] { return selfTest; },
        .fire = [this] { ++fires; },
        .wakeInput = [this](Instant since) { return wakeSources.humanInputSince(since); },
        .session = session,
        .systemPower = power,
        .mainQueue = loop,
        .clock = clock,
        .logSink = log,
    }};
};

TEST(UnlockOnTouch, ArmsAfterAnyLockOnceTheCooldownHasPassedAndTheDeviceIsPresent) {
    TouchWorld w;
    w.store.setBool(keys::unlockOnTouchForAnyLock, true);
    w.store.setDouble(keys::lockCooldownPeriod, 0);
    w.lock();
    EXPECT_TRUE(w.log.contains("Screen locked - arming in 1.0s if the device is still present"));
    w.loop.advanceBy(0.999);
    EXPECT_FALSE(w.touch.isArmed());
    w.loop.advanceBy(0.001);
    EXPECT_TRUE(w.touch.isArmed());

    // A device at weak signal does not arm after a lock, but keeps an existing arm.
    w.setPresence("Weak Signal");
    w.loop.advanceBy(2.0);
    EXPECT_TRUE(w.touch.isArmed());
    w.session.userUnlocksScreen();
    w.loop.runDue();
    EXPECT_TRUE(w.log.contains("Disarmed - screen unlocked"));
    w.lock();
    w.loop.advanceBy(1.0);
    EXPECT_FALSE(w.touch.isArmed());
    EXPECT_TRUE(w.log.contains("Not arming after lock - device not present (Weak Signal)"));
}

TEST(UnlockOnTouch, NotArmedAfterALockTheSelfTestMadeOrWhileSuppressed) {
    TouchWorld w;
    w.store.setBool(keys::unlockOnTouchForAnyLock, true);
    w.selfTest = true;
    w.lock();
    w.loop.advanceBy(2.0);
    EXPECT_TRUE(w.log.contains("Screen locked by the unlock self-test - not arming"));

    w.selfTest = false;
    w.session.userUnlocksScreen();
    w.suppressed = true;
    w.lock();
    w.loop.advanceBy(1.0);
    EXPECT_TRUE(w.log.contains("Not arming after lock - suppressed by schedule"));
    EXPECT_FALSE(w.touch.isArmed());
}

TEST(UnlockOnTouch, ArmRefusesWithoutAutoUnlockOrALockedScreenAndIsIdempotent) {
    TouchWorld w;
    EXPECT_FALSE(w.touch.arm(false));
    EXPECT_TRUE(w.log.contains("Not arming - screen is not locked"));
    w.lock();
    w.store.setBool(keys::autoUnlockEnabled, false);
    EXPECT_FALSE(w.touch.arm(false));
    EXPECT_TRUE(w.log.contains("Not arming - auto-unlock disabled"));

    w.store.setBool(keys::autoUnlockEnabled, true);
    w.idleClock.setIdleFor(30);
    EXPECT_TRUE(w.touch.arm(false));
    w.loop.advanceBy(0.3);
    EXPECT_TRUE(w.touch.arm(true));
    EXPECT_TRUE(w.log.contains("Already armed"));
    // The timer was not restarted: it still ticks at 0.5 s after the first arm.
    w.idleClock.userInput();
    w.loop.advanceBy(0.2);
    EXPECT_EQ(w.fires, 1);
}

TEST(UnlockOnTouch, ReturnPathUnlocksAtOnceWhenTheUserIsTyping) {
    TouchWorld w;
    w.lock();
    w.idleClock.setIdleFor(2.0);
    EXPECT_TRUE(w.touch.arm(true));
    EXPECT_EQ(w.fires, 1);
    EXPECT_TRUE(w.log.contains("Armed with recent input (idle 2.0s) - unlocking now"));
    EXPECT_TRUE(w.log.contains("Disarmed - fired"));
    EXPECT_FALSE(w.touch.isArmed());
}

TEST(UnlockOnTouch, ThePollFiresOnFreshInputOnly) {
    TouchWorld w;
    w.lock();
    w.idleClock.setIdleFor(30.0);
    ASSERT_TRUE(w.touch.arm(true));
    EXPECT_TRUE(w.log.contains("Armed - waiting for user input (idle now 30.0s)"));
    w.loop.advanceBy(0.5);
    EXPECT_EQ(w.fires, 0);
    w.loop.advanceBy(0.2);
    w.idleClock.userInput();
    w.loop.advanceBy(0.3);
    EXPECT_EQ(w.fires, 1);
    EXPECT_TRUE(w.log.contains("User input detected (idle 0.30s, was 30.50s) - unlocking"));

    // Armed again with the idle time resting near zero: no second fire without new input.
    w.idleClock.userInput();
    ASSERT_TRUE(w.touch.arm(false));
    w.loop.advanceBy(1.0);
    EXPECT_EQ(w.fires, 1);
}

TEST(UnlockOnTouch, HoldsTheArmWhileBlockedAndLogsEachBlockerOnce) {
    TouchWorld w;
    w.lock();
    w.idleClock.setIdleFor(30.0);
    ASSERT_TRUE(w.touch.arm(true));
    const auto holds = [&] {
        std::size_t n = 0;
        for (const auto& text : w.log.texts()) {
            n += text.find("holding the arm") != std::string::npos;
        }
        return n;
    };
    // Ticks at 0.5, 1.0, 1.5, ...; input ever closer before each tick, so each tick sees
    // fresh input.
    w.suppressed = true;
    for (double lead : {0.3, 0.2, 0.1}) {
        w.loop.advanceBy(0.5 - lead);
        w.idleClock.userInput();
        w.loop.advanceBy(lead);
    }
    EXPECT_EQ(w.fires, 0);
    EXPECT_EQ(holds(), 1u);
    EXPECT_TRUE(w.log.contains(
        "User input detected (idle 0.30s) but suppressed by schedule - holding the arm"));

    w.selfTest = true;  // a different blocker is reported once more
    w.loop.advanceBy(0.45);
    w.idleClock.userInput();
    w.loop.advanceBy(0.05);
    EXPECT_EQ(holds(), 2u);
    EXPECT_TRUE(w.touch.isArmed());

    w.selfTest = false;
    w.suppressed = false;
    w.loop.advanceBy(1.0);
    EXPECT_EQ(w.fires, 0);  // no fresh input yet
    w.loop.advanceBy(0.4);
    w.idleClock.userInput();
    w.loop.advanceBy(0.1);
    EXPECT_EQ(w.fires, 1);
}

TEST(UnlockOnTouch, DisplaysWokenByAProgramDoNotUnlockButAPersonDoes) {
    TouchWorld w;
    w.lock();
    w.idleClock.setIdleFor(30.0);
    ASSERT_TRUE(w.touch.arm(false));
    w.lockScreen.declaredActivity("musicplayer", "Playing");
    w.power.screensDidWake();
    w.loop.runDue();
    EXPECT_TRUE(w.log.contains("Screens woke, no human input recorded yet - re-checking in 0.5s"));
    w.loop.advanceBy(0.5);
    EXPECT_TRUE(w.log.contains("Screens woke without human input - staying armed for the poll"));
    EXPECT_EQ(w.fires, 0);
    EXPECT_TRUE(w.touch.isArmed());

    w.lockScreen.humanInput("Keyboard");
    w.power.screensDidWake();
    w.loop.runDue();
    EXPECT_EQ(w.fires, 1);
    EXPECT_TRUE(w.log.contains("Screens woke on human input from Keyboard - unlocking"));
}

TEST(UnlockOnTouch, DisarmsOnSleepDepartureAndTheAbsentBackstop) {
    TouchWorld w;
    w.lock();
    w.idleClock.setIdleFor(30.0);
    ASSERT_TRUE(w.touch.arm(false));
    w.power.systemWillSleep();
    w.loop.runDue();
    EXPECT_TRUE(w.log.contains("Disarmed - system sleep"));

    ASSERT_TRUE(w.touch.arm(false));
    w.touch.deviceConfirmedGone("grace, Present -> Absent");
    EXPECT_TRUE(w.log.contains("Disarmed - device gone (grace, Present -> Absent)"));
    w.touch.deviceConfirmedGone("again");  // nothing armed: nothing logged
    EXPECT_FALSE(w.log.containsFragment("(again)"));

    ASSERT_TRUE(w.touch.arm(false));
    std::thread([&] { w.touch.deviceConfirmedGone("timeout, Present -> Absent"); }).join();
    EXPECT_TRUE(
        w.log.contains("deviceConfirmedGone called off main (timeout, Present -> Absent) "
                       "- disarming asynchronously"));
    EXPECT_TRUE(w.touch.isArmed());
    w.loop.runDue();
    EXPECT_TRUE(w.log.contains(
        "Disarmed - device gone (timeout, Present -> Absent, late: off-main producer)"));

    ASSERT_TRUE(w.touch.arm(false));
    w.setPresence("Absent");
    w.loop.advanceBy(0.5);
    EXPECT_TRUE(
        w.log.contains("Disarmed - device gone (backstop: presence string Absent without a push)"));
    EXPECT_EQ(w.fires, 0);
}

}  // namespace
}  // namespace ambleguard::test
