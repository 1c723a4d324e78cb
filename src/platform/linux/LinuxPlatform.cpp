#include "platform/linux/LinuxPlatform.h"

#include "platform/linux/IdleClockChoice.h"

namespace ambleguard::linuxdesktop {

LinuxPlatform::LinuxPlatform(const LinuxPlatformOptions& options)
    : logSink(clock, options.logLevel),
      settingsFile(options.settingsFile, clock),
      systemBus(QDBusConnection::systemBus()),
      sessionBus(QDBusConnection::sessionBus()),
      bluetooth(bluetoothThread, systemBus, logSink),
      screenSession(systemBus, sessionBus, logSink),
      soundOutput(mainQueue, logSink),
      soundFiles(options.resources),
      idleClock(chooseIdleClock(sessionBus, x11DisplayForIdleTime(), logSink)),
      notifier(sessionBus, logSink),
      processLauncher(processWorker, mainQueue),
      shortcutCommands(options.shortcutsFolder),
      loginItem(posix::XdgAutostartEntry::defaultFolder(), options.executable),
      appInstance(mainQueue, logSink),
      alerts(logSink),
      shell(logSink),
      systemPower(systemBus, sessionBus, mainQueue, logSink),
      userActivity(systemBus, sessionBus, *idleClock, clock, logSink),
      notificationPermission(mainQueue, [this] { return notifier.serviceAvailable(); }),
      notificationSettings(processLauncher),
      program(buildProgramInfo()) {}

PlatformPorts LinuxPlatform::ports() {
    return PlatformPorts{
        .clock = clock,
        .mainQueue = mainQueue,
        .bluetoothQueue = bluetoothThread,
        .peripheralQueue = bluetoothThread,
        .logSink = logSink,
        .console = console,
        .settingsPersistence = settingsFile,
        .bluetooth = bluetooth,
        .bluetoothController = bluetoothController,
        .networkLinks = networkLinks,
        .screenSession = screenSession,
        .soundOutput = soundOutput,
        .soundFiles = soundFiles,
        .idleClock = *idleClock,
        .notifier = notifier,
        .processLauncher = processLauncher,
        .shortcutCommands = shortcutCommands,
        .loginItem = loginItem,
        .appInstance = appInstance,
        .alerts = alerts,
        .shell = shell,
        .systemPower = systemPower,
        // Typing is not offered: the session is asked to unlock itself.
        .unlockMethod = UnlockMethod::sessionRequest,
        .keychain = noTyping,
        .keyInjector = noTyping,
        .sessionUnlock = screenSession,
        .userActivity = userActivity,
        .notificationPermission = notificationPermission,
        .notificationSettings = notificationSettings,
        .http = http,
        .program = program,
    };
}

}  // namespace ambleguard::linuxdesktop
