#pragma once

#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "feedback/EventSounds.h"
#include "platform/Clock.h"
#include "platform/KeyInjector.h"
#include "platform/ScreenSession.h"
#include "platform/SessionUnlock.h"
#include "platform/UserActivity.h"
#include "settings/SettingsStore.h"
#include "unlock/PasswordStore.h"
#include "unlock/SecretText.h"
#include "unlock/UnlockInterfaces.h"
#include "unlock/UnlockOutcomeWatch.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace ambleguard {

// Gets the user past the lock screen when the device is back: either types the stored login
// password into it (Delete, the password in three fragments, Return) or asks the session to
// unlock itself, whichever the platform offers. Every step re-checks that the screen is still
// locked, so no password is ever typed into an unlocked desktop, and the outcome watch reports
// whether it worked. The password is never logged, and the buffers that held it are wiped
// when the attempt ends.
class ScreenUnlocker final : public ScreenUnlocking {
  public:
    static constexpr std::string_view activityReason = "Ambleguard Screen Unlock";
    static constexpr double wakeKeyDelay = 0.5;
    static constexpr double typingDelay = 1.0;
    static constexpr std::size_t maxUnitsPerEvent = 20;

    struct Dependencies {
        SettingsStore& settings;
        std::function<bool()> screenLocked;
        UnlockMethod method;
        KeyInjector& keys;
        SessionUnlock& sessionUnlock;
        UserActivity& userActivity;
        PasswordStore& passwords;
        EventSounds& sounds;
        ScreenSession& session;
        MainQueue& mainQueue;
        const Clock& clock;
        LogSink& logSink;
    };

    explicit ScreenUnlocker(Dependencies deps);
    ScreenUnlocker(const ScreenUnlocker&) = delete;
    ScreenUnlocker& operator=(const ScreenUnlocker&) = delete;

    // The return path's attempt, waking the display first. True when an attempt was started
    // (its steps follow on the main queue); false when a precondition failed.
    bool unlockScreen() override;
    // The attempt for a screen the user has already woken.
    bool unlockAfterUserWake();

    // Declares user activity so that the display wakes; a failure is logged and ignored.
    void wakeDisplay();

    UnlockMethod method() const { return method_; }
    // Whether the platform lets the program act on the lock screen now: post keystrokes, or
    // address its own session.
    bool mayAct() const;
    // Keystrokes only: the space bar that wakes the lock screen's password field.
    void pressWakeKey();
    // Keystrokes only: Delete, the whole of `password`, Return, without any checks (the
    // self-test). False, with nothing typed, when it is not valid UTF-8.
    bool typeWholePassword(std::string_view password);
    // Session request only: asks the session to unlock; false (logged) when it was not
    // delivered.
    bool requestSessionUnlock();

    PasswordStore& passwords() { return passwords_; }

  private:
    struct Attempt;

    std::shared_ptr<Attempt> checkPreconditions();
    template <typename Step>
    void after(double seconds, std::shared_ptr<Attempt> attempt, Step step);
    void enterPassword(const std::shared_ptr<Attempt>& attempt);
    void typePassword(Attempt& attempt);
    void requestUnlock();
    void typeUnits(std::u16string_view units, std::size_t begin, std::size_t end);
    void startOutcomeWatch();
    void handleOutcome(const UnlockOutcomeWatch::Outcome& outcome);

    SettingsStore& settings_;
    std::function<bool()> screenLocked_;
    UnlockMethod method_;
    KeyInjector& keys_;
    SessionUnlock& sessionUnlock_;
    UserActivity& userActivity_;
    PasswordStore& passwords_;
    EventSounds& sounds_;
    ScreenSession& session_;
    MainQueue& mainQueue_;
    const Clock& clock_;
    Logger log_;
    // Made at the first Return and kept.
    std::optional<UnlockOutcomeWatch> outcomeWatch_;
    LivenessToken liveness_;
};

}  // namespace ambleguard
