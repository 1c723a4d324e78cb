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
      systemPower(loop) {}

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
        .shortcutsToolPath = "/usr/bin/shortcuts",
        .loginItem = loginItem,
        .appInstance = appInstance,
        .alerts = alerts,
        .shell = shell,
        .systemPower = systemPower,
    };
}

}  // namespace ambleguard::sim
