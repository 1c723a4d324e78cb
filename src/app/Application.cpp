#include "app/Application.h"

#include "settings/SettingsReaders.h"

namespace ambleguard {

Application::Application(const PlatformPorts& ports)
    : ports_(ports),
      settings(ports.settingsPersistence, ports.logSink),
      presence(parseDevicePresenceState(storedPresenceState(settings))
                   .value_or(DevicePresenceState::present)),
      schedule(settings, ports.clock, ports.logSink),
      activity(settings, ports.idleClock),
      sounds(settings, ports.soundFiles, ports.soundOutput, ports.mainQueue, ports.logSink),
      screenLock(ports.screenSession, settings, ports.clock, ports.logSink, ports.console),
      unlocker(ports.logSink),
      unlockOnTouch(ports.logSink),
      shortcuts(ports.shortcutCommands, ports.processLauncher, ports.mainQueue, ports.logSink),
      sequencing(ports.logSink),
      awayActions(settings, presence, ports.clock, ports.mainQueue, ports.logSink, ports.console,
                  screenLock, schedule, activity, unlockTest, shortcuts, sequencing),
      returnActions(settings, presence, ports.clock, ports.mainQueue, ports.logSink, ports.console,
                    screenLock, schedule, unlockTest, unlocker, unlockOnTouch, shortcuts,
                    sequencing),
      connections_(ports.logSink),
      scanner(BluetoothScanner::Dependencies{
          .clock = ports.clock,
          .mainQueue = ports.mainQueue,
          .bluetoothQueue = ports.bluetoothQueue,
          .peripheralQueue = ports.peripheralQueue,
          .bluetooth = ports.bluetooth,
          .settings = settings,
          .logSink = ports.logSink,
          .readout = readout,
          .presence = presence,
          .connections = connections_,
      }),
      outOfRangeAlerts(ports.clock, settings, ports.notifier, scanner.presenceEngine(), readout,
                       ports.logSink),
      reactions(PresenceReactions::Dependencies{
          .clock = ports.clock,
          .settings = settings,
          .logSink = ports.logSink,
          .pipeline = scanner.pipeline(),
          .scanner = scanner,
          .connections = connections_,
          .sounds = sounds,
          .screenLock = screenLock,
          .schedule = schedule,
          .awayActions = awayActions,
          .returnActions = returnActions,
          .unlockOnTouch = unlockOnTouch,
          .notifications = outOfRangeAlerts,
      }),
      resets(settings, ports.loginItem, ports.appInstance, ports.alerts, ports.mainQueue,
             ports.logSink, [this] { scanGate_.stopScanningPermanently(); }),
      delegate(AppDelegate::Dependencies{
          .settings = settings,
          .mainQueue = ports.mainQueue,
          .logSink = ports.logSink,
          .shell = ports.shell,
          .app = ports.appInstance,
          .systemPower = ports.systemPower,
          .loginItem = ports.loginItem,
          .scanner = scanGate_,
          .unlockOnTouch = unlockOnTouch,
      }) {
    // Monitoring reacts to the session's lock notices after the lock state has taken them in,
    // because it was registered later.
    lockNotices_ = ports.screenSession.observe(
        ScreenNotice::locked, [this] { reactions.handleScreenLockChange(kScreenLockedNotice); });
    unlockNotices_ = ports.screenSession.observe(ScreenNotice::unlocked, [this] {
        reactions.handleScreenLockChange(kScreenUnlockedNotice);
    });
    bluetoothLoss_ = scanner.lifecycle().onBluetoothLost(
        [this](BluetoothLoss loss) { reactions.decideLockOnBluetoothLoss(loss); });
}

void Application::launch() {
    ports_.shell.setActivationPolicy(ActivationPolicy::accessory);
    delegate.applicationDidFinishLaunching();
}

}  // namespace ambleguard
