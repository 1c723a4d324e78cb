#pragma once

#include "actions/ActivityMonitor.h"
#include "actions/AwayActionSequencer.h"
#include "actions/ReturnActionSequencer.h"
#include "actions/ScheduleManager.h"
#include "actions/ScreenLockState.h"
#include "actions/ShortcutRunner.h"
#include "actions/ShortcutSequencingState.h"
#include "app/PlatformPorts.h"
#include "app/SettingsReset.h"
#include "bluetooth/BluetoothScanner.h"
#include "bluetooth/ConnectionAttempts.h"
#include "feedback/EventSoundPlayer.h"
#include "presence/SignalReadout.h"
#include "unlock/IdleUnlockTestStatus.h"
#include "unlock/LoggingScreenUnlocker.h"
#include "unlock/LoggingUnlockOnTouch.h"

namespace ambleguard {

// The composition root: builds each process-wide component exactly once, from the platform's
// ports, and hands each its collaborators. The program, `simulate` and `replay` all build the
// system through this one class, so they run the same wiring.
class Application {
  public:
    explicit Application(const PlatformPorts& ports);
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    const PlatformPorts& ports() const { return ports_; }

    // Members are declared in construction order: a component comes after what it uses.
  private:
    PlatformPorts ports_;

  public:
    SignalReadout readout;
    ScheduleManager schedule;
    ActivityMonitor activity;
    EventSoundPlayer sounds;
    ScreenLockState screenLock;
    IdleUnlockTestStatus unlockTest;
    LoggingScreenUnlocker unlocker;
    LoggingUnlockOnTouch unlockOnTouch;
    ShortcutRunner shortcuts;
    ShortcutSequencingState sequencing;
    AwayActionSequencer awayActions;
    ReturnActionSequencer returnActions;

  private:
    // Until the connection feed exists, connection attempts go nowhere.
    class NoConnections final : public ConnectionAttempts {
      public:
        void attemptConnection(std::string_view) override {}
        void tearDownConnectionFeed(std::string_view, bool) override {}
    } connections_;

  public:
    BluetoothScanner scanner;
    SettingsReset resets;

  private:
    Connection lockNotices_;
    Connection unlockNotices_;
};

}  // namespace ambleguard
