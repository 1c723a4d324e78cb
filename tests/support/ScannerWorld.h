#pragma once

#include "app/PresenceReactions.h"
#include "bluetooth/BluetoothScanner.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/RecordingNotifier.h"
#include "platform/sim/SimBluetoothWorld.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "presence/OutOfRangeAlerts.h"
#include "presence/SignalReadout.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"
#include "settings/SettingsStore.h"
#include "support/RecordingActions.h"

#include <memory>
#include <string>
#include <vector>

namespace ambleguard::test {

// A scanner on the simulated platform, with the reactions to its decisions wired as the program
// wires them: virtual time, a simulated Bluetooth world, in-memory settings, and recorders for
// everything that is acted on. Build the world (with its
// configuration) and then the scanner; either can be rebuilt.
struct ScannerWorld {
    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::SimExecutor bluetoothQueue{loop};
    sim::SimExecutor peripheralQueue{loop};
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    SettingsStore settings{persistence, log};
    SignalReadout readout;
    Published<DevicePresenceState> publishedPresence;
    sim::RecordingActions actions;
    sim::RecordingNotifier notifier;
    Instant start = clock.now();
    std::unique_ptr<sim::SimBluetoothWorld> bluetooth;
    std::unique_ptr<BluetoothScanner> scanner;
    std::unique_ptr<OutOfRangeAlerts> alerts;
    std::unique_ptr<PresenceReactions> reactions;
    Connection bluetoothLoss;

    void dropScanner() {
        bluetoothLoss.reset();
        reactions.reset();
        alerts.reset();
        scanner.reset();
    }

    void buildBluetooth(sim::SimBluetoothConfig config = {}) {
        dropScanner();
        bluetooth = std::make_unique<sim::SimBluetoothWorld>(clock, loop, std::move(config));
    }

    BluetoothScanner& buildScanner() {
        if (!bluetooth) {
            buildBluetooth();
        }
        dropScanner();
        scanner = std::make_unique<BluetoothScanner>(BluetoothScanner::Dependencies{
            .clock = clock,
            .mainQueue = loop,
            .bluetoothQueue = bluetoothQueue,
            .peripheralQueue = peripheralQueue,
            .bluetooth = *bluetooth,
            .settings = settings,
            .logSink = log,
            .readout = readout,
            .presence = publishedPresence,
            .connections = actions,
        });
        alerts = std::make_unique<OutOfRangeAlerts>(clock, settings, notifier,
                                                    scanner->presenceEngine(), readout, log);
        reactions = std::make_unique<PresenceReactions>(PresenceReactions::Dependencies{
            .clock = clock,
            .settings = settings,
            .logSink = log,
            .pipeline = scanner->pipeline(),
            .scanner = *scanner,
            .connections = actions,
            .sounds = actions,
            .screenLock = actions,
            .schedule = actions,
            .awayActions = actions,
            .returnActions = actions,
            .unlockOnTouch = actions,
            .notifications = *alerts,
        });
        bluetoothLoss = scanner->lifecycle().onBluetoothLost(
            [this](BluetoothLoss loss) { reactions->decideLockOnBluetoothLoss(loss); });
        return *scanner;
    }

    // Seconds since the world was made.
    double elapsed() const { return secondsBetween(start, clock.now()); }
    void advanceTo(double seconds) { loop.advanceTo(addSeconds(start, seconds)); }

    // Readings as a producer delivers them: on the Bluetooth executor, then the hop.
    void readings(int raw, int count, double interval = 0.5) {
        for (int i = 0; i < count; ++i) {
            loop.advanceBy(interval);
            bluetoothQueue.post([this, raw] { scanner->processRSSI(raw); });
            loop.runDue();
        }
    }

    std::string presence() const { return storedPresenceState(settings); }
    bool scanning() const { return scanner->isScanning().get(); }
    std::optional<std::string> error() const { return scanner->error().get(); }
};

}  // namespace ambleguard::test
