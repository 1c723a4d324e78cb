#pragma once

#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Published.h"
#include "base/Signal.h"
#include "base/Time.h"
#include "platform/Clock.h"
#include "platform/ScreenSession.h"
#include "unlock/ScreenUnlocker.h"
#include "unlock/SecretText.h"
#include "unlock/UnlockInterfaces.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace ambleguard {

enum class UnlockTestFailure {
    noAccessibilityPermission,
    noPassword,
    alreadyLocked,
    couldNotLock,
    userIntervened,
    screenStayedLocked,
    didNotReachTyping,
};

std::string_view toString(UnlockTestFailure failure);

// Success, or the failure that ended the test.
struct UnlockTestResult {
    std::optional<UnlockTestFailure> failure;
    bool operator==(const UnlockTestResult&) const = default;
};

std::string describe(const UnlockTestResult& result);

namespace unlock_test_phase {
struct Idle {
    bool operator==(const Idle&) const = default;
};
struct Locking {
    bool operator==(const Locking&) const = default;
};
struct WaitingToType {
    bool operator==(const WaitingToType&) const = default;
};
struct WaitingForUnlock {
    bool operator==(const WaitingForUnlock&) const = default;
};
struct Finished {
    UnlockTestResult result;
    bool operator==(const Finished&) const = default;
};
}  // namespace unlock_test_phase

using UnlockTestPhase =
    std::variant<unlock_test_phase::Idle, unlock_test_phase::Locking,
                 unlock_test_phase::WaitingToType, unlock_test_phase::WaitingForUnlock,
                 unlock_test_phase::Finished>;

// The user's end-to-end test of auto-unlock: lock the screen, wake the display, enter the
// candidate password (or ask the session to unlock), and check that the screen unlocks. Runs
// as a small state machine with time-outs and a watchdog; while it runs, the away and return
// paths and unlock on touch stay out of its way. The candidate is never stored, and is wiped
// when the test ends.
class UnlockTestCoordinator final : public UnlockTestStatus {
  public:
    static constexpr double lockTimeout = 3.0;
    static constexpr double settleDelay = 0.5;
    static constexpr double wakeKeyDelay = 0.5;
    static constexpr double pretypeDelay = 1.0;
    static constexpr double unlockTimeout = 5.0;
    static constexpr double watchdogDelay = 12.0;

    struct Dependencies {
        ScreenUnlocker& unlocker;
        std::function<bool()> screenLocked;
        std::function<void()> lockScreenDirectly;
        ScreenSession& session;
        MainQueue& mainQueue;
        const Clock& clock;
        LogSink& logSink;
    };

    explicit UnlockTestCoordinator(Dependencies deps);
    UnlockTestCoordinator(const UnlockTestCoordinator&) = delete;
    UnlockTestCoordinator& operator=(const UnlockTestCoordinator&) = delete;

    // Progress and outcome arrive through phase().
    void startTest(std::string_view candidate);

    bool isRunning() const override { return isRunning_; }
    const Published<UnlockTestPhase>& phase() const { return phase_; }

  private:
    void lockCheck();
    void screenDidLock();
    void wakeStep();
    void keystrokeStep();
    void typingStep();
    void screenDidUnlock();
    void unlockCheck();
    void watchdogFired();
    void finish(UnlockTestResult result);
    bool active() const { return isRunning_ && !hasCompleted_; }
    double sinceStart() const;
    template <typename Fn>
    void after(double seconds, Fn fn);

    ScreenUnlocker& unlocker_;
    std::function<bool()> screenLocked_;
    std::function<void()> lockScreenDirectly_;
    ScreenSession& session_;
    MainQueue& mainQueue_;
    const Clock& clock_;

    Published<UnlockTestPhase> phase_;
    bool isRunning_ = false;
    Logger log_;
    std::optional<Instant> startedAt_;
    bool hasCompleted_ = false;
    bool didType_ = false;
    bool sawUnlock_ = false;
    SecretText candidate_;
    Connection lockedObserver_;
    Connection unlockedObserver_;
    ScopedTimer watchdog_;
    // Every step of one test, so that a new test never meets the steps of an old one.
    std::unique_ptr<LivenessToken> testSteps_;
};

}  // namespace ambleguard
