#include "unlock/UnlockTestCoordinator.h"

#include "UnlockTestWorld.h"

#include <gtest/gtest.h>

namespace ambleguard::test {
namespace {

namespace phase = unlock_test_phase;

// The main queue with timers that can be lost, as when the main thread stalls past them: the
// watchdog is the backstop for exactly that.
struct LossyQueue final : MainQueue {
    explicit LossyQueue(MainQueue& wrapped) : inner(wrapped) {}
    void post(Task task) override { inner.post(std::move(task)); }
    TimerHandle postAfter(double seconds, Task task) override {
        if (seconds == lost) {
            return {};
        }
        return inner.postAfter(seconds, std::move(task));
    }
    TimerHandle scheduleRepeating(double interval, double tolerance, Task task) override {
        return inner.scheduleRepeating(interval, tolerance, std::move(task));
    }
    MainQueue& inner;
    double lost = -1;
};

struct SelfTestWorld : UnlockTestWorld {
    explicit SelfTestWorld(UnlockMethod method = UnlockMethod::keystrokes)
        : UnlockTestWorld(method) {}

    std::optional<UnlockTestFailure> failure() const {
        const auto* finished = std::get_if<phase::Finished>(&test.phase().get());
        EXPECT_NE(finished, nullptr);
        return finished ? finished->result.failure : std::nullopt;
    }
    bool succeeded() const {
        const auto* finished = std::get_if<phase::Finished>(&test.phase().get());
        return finished && !finished->result.failure;
    }

    LossyQueue queue{loop};
    UnlockTestCoordinator test{UnlockTestCoordinator::Dependencies{
        .unlocker = unlocker,
        .screenLocked = [this] { return session.screenLocked(); },
        .lockScreenDirectly = [this] { (void)session.lockScreenImmediately(); },
        .session = session,
        .mainQueue = queue,
        .clock = clock,
        .logSink = log,
    }};
};

TEST(UnlockTestCoordinator, APassingTestLocksWakesTypesAndSeesTheUnlock) {
    SelfTestWorld w;
    std::vector<std::size_t> phases;
    auto observer =
        w.test.phase().observe([&](const UnlockTestPhase& p) { phases.push_back(p.index()); });
    w.test.startTest(kPassword);
    EXPECT_TRUE(w.test.isRunning());
    EXPECT_TRUE(w.log.contains("Unlock self-test requested (candidate length: 20)"));
    w.loop.advanceBy(0.3);  // the lock screen is up
    EXPECT_TRUE(w.log.contains("Screen locked at 0.30s - beginning wake/type sequence"));
    w.loop.advanceBy(2.0);
    EXPECT_TRUE(w.log.contains("Typing candidate password at 2.30s"));
    EXPECT_EQ(w.keystrokes(),
              (std::vector<std::string>{"Space", "Delete", "typed 20", "typed 1", "Return"}));
    w.loop.advanceBy(0.4);
    EXPECT_TRUE(w.succeeded());
    EXPECT_FALSE(w.test.isRunning());
    EXPECT_TRUE(
        w.log.contains("Unlock self-test finished at 2.70s: success (didType: true, "
                       "sawUnlock: true)"));
    EXPECT_EQ(phases, (std::vector<std::size_t>{1, 2, 3, 4}));
    // The lock check, unlock check and watchdog find the test finished.
    w.loop.advanceBy(20.0);
    EXPECT_EQ(w.log.count("Unlock self-test finished at 2.70s: success (didType: true, "
                          "sawUnlock: true)"),
              1u);
    EXPECT_FALSE(w.log.containsFragment("Watchdog fired"));
}

TEST(UnlockTestCoordinator, PreconditionFailuresLeaveNothingRunning) {
    SelfTestWorld w;
    w.lockScreen.setMayPostEvents(false);
    w.test.startTest(kPassword);
    EXPECT_EQ(w.failure(), UnlockTestFailure::noAccessibilityPermission);
    w.lockScreen.setMayPostEvents(true);
    w.test.startTest("");
    EXPECT_EQ(w.failure(), UnlockTestFailure::noPassword);
    w.lock();
    w.test.startTest(kPassword);
    EXPECT_EQ(w.failure(), UnlockTestFailure::alreadyLocked);
    EXPECT_FALSE(w.test.isRunning());
    EXPECT_EQ(w.loop.pendingCount(), 0u);
}

TEST(UnlockTestCoordinator, ASecondStartIsIgnored) {
    SelfTestWorld w;
    w.test.startTest(kPassword);
    w.loop.advanceBy(1.0);
    w.test.startTest("other");
    EXPECT_TRUE(w.log.contains("startTest ignored - a test is already running"));
    w.loop.advanceBy(5.0);
    EXPECT_TRUE(w.succeeded());
}

TEST(UnlockTestCoordinator, TheLockNeverComes) {
    SelfTestWorld w;
    w.session.setDirectLockAvailable(false);
    w.test.startTest(kPassword);
    w.loop.advanceBy(2.999);
    EXPECT_TRUE(w.test.isRunning());
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.failure(), UnlockTestFailure::couldNotLock);
    w.loop.advanceBy(10.0);
    EXPECT_FALSE(w.log.containsFragment("Watchdog fired"));
}

TEST(UnlockTestCoordinator, TheUserUnlocksBeforeTyping) {
    SelfTestWorld w;
    w.test.startTest(kPassword);
    w.loop.advanceBy(1.0);
    w.session.userUnlocksScreen();
    w.loop.advanceBy(2.0);
    EXPECT_EQ(w.failure(), UnlockTestFailure::userIntervened);
    EXPECT_TRUE(w.keystrokes() == std::vector<std::string>{"Space"});
}

TEST(UnlockTestCoordinator, AWrongCandidateStaysLockedFiveSecondsAfterTyping) {
    SelfTestWorld w;
    w.test.startTest(kPassword + "x");
    w.loop.advanceBy(2.3 + 4.999);
    EXPECT_TRUE(w.test.isRunning());
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.failure(), UnlockTestFailure::screenStayedLocked);
    EXPECT_TRUE(
        w.log.contains("No screenIsUnlocked within 5.0s after typing - screen stayed locked"));
}

TEST(UnlockTestCoordinator, TheWatchdogEndsATestWhoseChecksWereLost) {
    SelfTestWorld w;
    w.queue.lost = UnlockTestCoordinator::lockTimeout;
    w.session.setDirectLockAvailable(false);
    w.test.startTest(kPassword);
    w.loop.advanceBy(11.999);
    EXPECT_TRUE(w.test.isRunning());
    w.loop.advanceBy(0.001);
    EXPECT_EQ(w.failure(), UnlockTestFailure::didNotReachTyping);
    EXPECT_TRUE(w.log.contains("Watchdog fired at 12.00s (didType: false)"));

    SelfTestWorld typed;
    typed.queue.lost = UnlockTestCoordinator::unlockTimeout;
    typed.test.startTest(kPassword + "x");
    typed.loop.advanceBy(12.0);
    EXPECT_EQ(typed.failure(), UnlockTestFailure::screenStayedLocked);
    EXPECT_TRUE(typed.log.contains("Watchdog fired at 12.00s (didType: true)"));
}

TEST(UnlockTestCoordinatorBySessionRequest, TheCandidateIsNotNeeded) {
    SelfTestWorld w(UnlockMethod::sessionRequest);
    w.test.startTest("");
    w.loop.advanceBy(2.3);
    EXPECT_TRUE(w.log.contains("Requesting session unlock at 2.30s"));
    EXPECT_TRUE(w.keystrokes().empty());
    w.loop.advanceBy(0.1);
    EXPECT_TRUE(w.succeeded());

    w.lockScreen.setHonoursUnlockRequests(false);
    w.test.startTest("");
    w.loop.advanceBy(12.0);
    EXPECT_EQ(w.failure(), UnlockTestFailure::screenStayedLocked);
}

}  // namespace
}  // namespace ambleguard::test
