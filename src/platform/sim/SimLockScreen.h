#pragma once

#include "base/Liveness.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "platform/Clock.h"
#include "platform/KeyInjector.h"
#include "platform/SessionUnlock.h"
#include "platform/UserActivity.h"
#include "platform/sim/SimIdleClock.h"
#include "platform/sim/SimScreenSession.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard::sim {

struct SimLockScreenConfig {
    // The session's real login password (UTF-8); nothing: no typed text is ever accepted.
    std::optional<std::string> password;
    // Whether the lock screen goes away when the session is asked to unlock.
    bool honoursUnlockRequests = true;
    // Whether the program may post keyboard events.
    bool mayPostEvents = true;
    // Whether the program's own session can be addressed.
    bool sessionFound = true;
};

// The lock screen's password field, the session's unlock request and the system's record of
// user activity, in virtual time.
//
// Keystrokes go into the field while the screen is locked (Delete clears it, Return checks it
// against the password and clears it) and onto the desktop otherwise, which is counted so that
// tests can prove it never happens. Every keystroke also counts as synthetic input. Activity
// records are kept per source and renewed, as the real ones are.
class SimLockScreen final : public KeyInjector, public SessionUnlock, public UserActivity {
  public:
    // What the program did at the lock screen, for the transcript. `units` only for "typed".
    struct Action {
        enum class Kind { key, typed, unlockRequested, displayWake };
        Kind kind;
        InjectedKey key = InjectedKey::space;
        std::size_t units = 0;
    };

    // How long the lock screen takes to check a password, and to act on an unlock request.
    static constexpr double passwordCheckDelay = 0.4;
    static constexpr double unlockRequestDelay = 0.1;

    SimLockScreen(SimScreenSession& session, SimIdleClock& idleClock, MainQueue& mainQueue,
                  const Clock& clock, SimLockScreenConfig config);
    ~SimLockScreen() override;

    // KeyInjector
    bool mayPostEvents() const override { return config_.mayPostEvents; }
    void press(InjectedKey key) override;
    void pressCarrying(std::u16string_view units) override;
    // SessionUnlock
    bool sessionFound() const override { return config_.sessionFound; }
    Result<void> requestUnlock() override;
    // UserActivity
    std::string_view recordSourceName() const override { return "reading the activity records"; }
    Records currentRecords() override;
    int declareUserActivity(std::string_view reason) override;

    // The world around the program.
    void humanInput(std::string_view device);
    void syntheticInput(std::string_view process);
    void declaredActivity(std::string_view process, std::string_view name);
    void setHonoursUnlockRequests(bool honours) { config_.honoursUnlockRequests = honours; }
    void setMayPostEvents(bool may) { config_.mayPostEvents = may; }
    void setSessionFound(bool found) { config_.sessionFound = found; }
    // A non-zero status makes reading the records fail with it.
    void setRecordsStatus(int status) { recordsStatus_ = status; }
    void setDisplayWakeStatus(int status) { displayWakeStatus_ = status; }

    // What tests look at.
    std::size_t fieldLength() const { return field_.size(); }
    std::size_t unitsTypedOnDesktop() const { return desktopUnits_; }
    std::size_t returnsOnDesktop() const { return desktopReturns_; }
    std::size_t passwordChecks() const { return checks_; }
    const std::vector<Action>& actions() const { return actions_; }
    [[nodiscard]] Connection onAction(std::function<void(const Action&)> observer);

  private:
    void record(Action action);
    void renew(std::string name, std::string process);
    void checkField();

    SimScreenSession& session_;
    SimIdleClock& idleClock_;
    MainQueue& mainQueue_;
    const Clock& clock_;
    SimLockScreenConfig config_;
    std::u16string field_;
    std::size_t desktopUnits_ = 0;
    std::size_t desktopReturns_ = 0;
    std::size_t checks_ = 0;
    std::vector<ActivityRecord> records_;
    int recordsStatus_ = 0;
    int displayWakeStatus_ = 0;
    std::vector<Action> actions_;
    Signal<const Action&> actionRecorded_;
    LivenessToken liveness_;
};

}  // namespace ambleguard::sim
