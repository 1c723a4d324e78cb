#pragma once

#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "base/Time.h"
#include "platform/Clock.h"
#include "platform/ScreenSession.h"

#include <functional>
#include <optional>
#include <variant>

namespace ambleguard {

// Decides whether the password typed at the lock screen worked: after Return it waits up to
// 3 s for the session's unlock notice and reports exactly one outcome per attempt. A newer
// attempt supersedes an older one, which then never reports.
class UnlockOutcomeWatch {
  public:
    static constexpr double timeout = 3.0;

    struct Unlocked {
        double after = 0;
        bool operator==(const Unlocked&) const = default;
    };
    struct StayedLocked {
        double after = 0;
        bool operator==(const StayedLocked&) const = default;
    };
    using Outcome = std::variant<Unlocked, StayedLocked>;

    struct Dependencies {
        Logger log;
        ScreenSession& session;
        std::function<bool()> screenLocked;
        MainQueue& mainQueue;
        const Clock& clock;
        std::function<void(const Outcome&)> onOutcome;
    };

    explicit UnlockOutcomeWatch(Dependencies deps);
    UnlockOutcomeWatch(const UnlockOutcomeWatch&) = delete;
    UnlockOutcomeWatch& operator=(const UnlockOutcomeWatch&) = delete;

    // Begins watching a new attempt (right after Return was pressed).
    void start();
    bool isWatching() const { return observing_; }

  private:
    void stop();
    void unlockNotice(long token);
    void timedOut(long token);
    bool current(long token) const { return attempt_ == token && observing_; }
    double elapsed() const;

    Logger log_;
    ScreenSession& session_;
    std::function<bool()> screenLocked_;
    MainQueue& mainQueue_;
    const Clock& clock_;
    std::function<void(const Outcome&)> onOutcome_;
    long attempt_ = 0;
    std::optional<Instant> startedAt_;
    Connection observer_;
    bool observing_ = false;
    ScopedTimer timeout_;
    LivenessToken liveness_;
};

}  // namespace ambleguard
