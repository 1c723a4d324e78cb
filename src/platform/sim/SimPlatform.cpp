#include "platform/sim/SimPlatform.h"

namespace ambleguard::sim {

SimPlatform::SimPlatform(SimPlatformOptions options, LogSink& logSink_, ConsoleOutput& console_)
    : clock(options.start, options.utcOffsetSeconds),
      loop(clock),
      bluetoothQueue(loop),
      peripheralQueue(loop),
      logSink(logSink_),
      console(console_),
      persistence(std::move(options.settings)),
      bluetooth(clock, loop, std::move(options.bluetooth)),
      networkLinks(loop),
      screenSession(loop, clock),
      soundOutput(loop),
      soundFiles(std::move(options.soundFiles)),
      idleClock(clock),
      processLauncher(loop),
      shortcutCommands("/usr/bin/shortcuts"),
      systemPower(loop),
      lockScreen(screenSession, idleClock, loop, clock, std::move(options.lockScreen)),
      unlockMethod(options.unlockMethod),
      notificationPermission(loop),
      http(loop, std::move(options.versionAnswer)),
      program(std::move(options.program)) {
    for (auto& item : options.keychain) {
        keychain.place(std::move(item));
    }
}

PlatformPorts SimPlatform::ports() {
    return PlatformPorts{
        .clock = clock,
        .mainQueue = loop,
        .bluetoothQueue = bluetoothQueue,
        .peripheralQueue = peripheralQueue,
        .logSink = logSink,
        .console = console,
        .settingsPersistence = persistence,
        .bluetooth = bluetooth,
        .bluetoothController = bluetoothController,
        .networkLinks = networkLinks,
        .screenSession = screenSession,
        .soundOutput = soundOutput,
        .soundFiles = soundFiles,
        .idleClock = idleClock,
        .notifier = notifier,
        .processLauncher = processLauncher,
        .shortcutCommands = shortcutCommands,
        .loginItem = loginItem,
        .appInstance = appInstance,
        .alerts = alerts,
        .shell = shell,
        .systemPower = systemPower,
        .unlockMethod = unlockMethod,
        .keychain = keychain,
        .keyInjector = lockScreen,
        .sessionUnlock = lockScreen,
        .userActivity = lockScreen,
        .notificationPermission = notificationPermission,
        .notificationSettings = notificationSettings,
        .http = http,
        .program = program,
    };
}

}  // namespace ambleguard::sim
