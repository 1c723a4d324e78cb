#pragma once

#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "base/Time.h"
#include "platform/Clock.h"
#include "platform/ScreenSession.h"
#include "platform/SystemPower.h"
#include "settings/SettingsStore.h"
#include "unlock/DisplayWakeSource.h"
#include "unlock/UnlockInterfaces.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace ambleguard {

// Instead of unlocking the moment the device is back, holds an "arm" and unlocks at the first
// sign of a person at the computer: a key press or pointer movement seen by the idle-time poll,
// or the displays waking on human input. It arms after any lock (when that option is on and the
// device is still present once the lock cooldown has passed) and when the return path asks; it
// disarms when the screen unlocks, the system sleeps, the device is confirmed gone, or it fires.
class UnlockOnTouch final : public UnlockOnTouchControl, public UnlockOnTouchStartup {
  public:
    static constexpr double pollInterval = 0.5;
    static constexpr double pollTolerance = 0.1;
    static constexpr double touchThreshold = 1.0;
    static constexpr double recentInputWindow = 5.0;
    static constexpr double wakeLookBack = 5.0;
    static constexpr double wakeRecheckDelay = 0.5;

    struct Dependencies {
        SettingsStore& settings;
        // Seconds since the last keyboard or pointer input; nothing when unknown.
        std::function<std::optional<double>()> idleTime;
        std::function<bool()> screenLocked;
        // Whether the schedule suppresses locking now.
        std::function<bool()> suppressed;
        // Whether the unlock self-test is running.
        std::function<bool()> selfTestRunning;
        // Starts the unlock (the screen unlocker's attempt for a screen the user woke).
        std::function<void()> fire;
        // The first human input recorded since a moment.
        std::function<std::optional<DisplayWakeSource>(Instant)> wakeInput;
        ScreenSession& session;
        SystemPower& systemPower;
        MainQueue& mainQueue;
        const Clock& clock;
        LogSink& logSink;
    };

    // Build it on the main thread: calls from other threads are told apart by it.
    explicit UnlockOnTouch(Dependencies deps);
    UnlockOnTouch(const UnlockOnTouch&) = delete;
    UnlockOnTouch& operator=(const UnlockOnTouch&) = delete;

    // Registers the lock, sleep and screens-wake observers; a second call does nothing.
    void start() override;
    // True when armed or fired. `unlockIfRecentInput` (the return path) fires at once when the
    // user touched the computer in the last few seconds.
    bool arm(bool unlockIfRecentInput) override;
    // From any thread.
    void deviceConfirmedGone(std::string_view reason) override;

    bool isArmed() const { return isArmed_; }

  private:
    enum class Presence { present, weakSignal, absent };

    Presence presence() const;
    bool unlockPermitted() const;
    void onLock();
    void armAfterLock();
    void poll();
    bool stillValid();
    bool holdCheck(const std::string& reason);
    void screensWoke(bool recheckAllowed);
    void disarm(std::string_view reason);
    void fire();

    SettingsStore& settings_;
    std::function<std::optional<double>()> idleTime_;
    std::function<bool()> screenLocked_;
    std::function<bool()> suppressed_;
    std::function<bool()> selfTestRunning_;
    std::function<void()> fire_;
    std::function<std::optional<DisplayWakeSource>(Instant)> wakeInput_;
    ScreenSession& session_;
    SystemPower& systemPower_;
    MainQueue& mainQueue_;
    const Clock& clock_;
    Logger log_;
    const std::thread::id mainThread_;

    bool isArmed_ = false;
    std::optional<double> lastIdle_;
    std::optional<std::string> lastHoldLogged_;
    ScopedTimer timer_;
    Connection unlockObserver_;
    bool observingUnlocks_ = false;
    Connection lockObserver_;
    Connection sleepObserver_;
    Connection screensWakeObserver_;
    bool started_ = false;
    LivenessToken liveness_;
};

}  // namespace ambleguard
