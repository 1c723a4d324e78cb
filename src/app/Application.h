#pragma once

#include "actions/ActivityMonitor.h"
#include "actions/AwayActionSequencer.h"
#include "actions/ReturnActionSequencer.h"
#include "actions/ScheduleManager.h"
#include "actions/ScreenLockState.h"
#include "actions/ShortcutRunner.h"
#include "actions/ShortcutSequencingState.h"
#include "app/AppDelegate.h"
#include "app/PresenceReactions.h"
#include "app/ScanGateTarget.h"
#include "bluetooth/BluetoothScanner.h"
#include "bluetooth/NoConnectionFeed.h"
#include "feedback/EventSoundPlayer.h"
#include "platform/PlatformPorts.h"
#include "presence/OutOfRangeAlerts.h"
#include "presence/SignalReadout.h"
#include "settings/SettingsReset.h"
#include "settings/SettingsStore.h"
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

    // What the process entry does once everything is built: start as a status-bar-only
    // application, then finish launching.
    void launch();

    // Members are declared in construction order: a component comes after what it uses.
  private:
    PlatformPorts ports_;

  public:
    SettingsStore settings;
    SignalReadout readout;
    // The tracked device's presence as last published; the pipeline writes it.
    Published<DevicePresenceState> presence;
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
    // Until the connection feed exists, readings come from advertisements only.
    NoConnectionFeed connections_;

  public:
    BluetoothScanner scanner;
    OutOfRangeAlerts outOfRangeAlerts;
    PresenceReactions reactions;

  private:
    // What the scan gate asks of the scanner, forwarded to it.
    class ScannerScanGate final : public ScanGateTarget {
      public:
        explicit ScannerScanGate(BluetoothScanner& scanner) : scanner_(scanner) {}
        void startScanning() override { scanner_.startScanning(); }
        void stopScanningPermanently() override { scanner_.stopScanningPermanently(); }
        void resetSignalState() override { scanner_.resetSignalState(); }
        void forcePresenceGone(std::string_view source) override {
            scanner_.forcePresenceGone(source);
        }

      private:
        BluetoothScanner& scanner_;
    } scanGate_{scanner};

  public:
    SettingsReset resets;
    // Last: its initializer already schedules work that reaches the components above.
    AppDelegate delegate;

  private:
    Connection lockNotices_;
    Connection unlockNotices_;
    Connection bluetoothLoss_;
};

}  // namespace ambleguard
