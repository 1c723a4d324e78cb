#pragma once

#include "app/SettingsStore.h"
#include "cli/ReplayTrace.h"
#include "platform/Log.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingActions.h"
#include "platform/sim/RecordingNotifier.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "presence/OutOfRangeAlerts.h"
#include "presence/PresenceEngine.h"
#include "presence/ReadingPipeline.h"
#include "presence/ScannerControl.h"
#include "presence/SignalReadout.h"

#include <optional>
#include <string>

namespace ambleguard::cli {

// The settings a replay runs with; stored before the pipeline exists.
struct ReplaySettings {
    std::string detectionMode = "Stable";  // stored verbatim
    double averageMinRSSI = -67.0;
    double hysteresisAwayBuffer = 4.0;
    double hysteresisReturnBuffer = 4.0;
    double lastSeenTimeout = 1.0;
    bool decideOnRawRSSI = false;
    bool suppressSuddenSignalLoss = false;
};

// Everything a replay needs, built the way the program builds its presence detection, on the
// simulated platform: virtual time, an in-memory settings store holding the replay's settings and
// a tracked device, and stand-ins that record what the pipeline asks of the rest of the system.
// The user's own settings are never touched.
//
// The Bluetooth stack is taken to stay powered on throughout: the trace is what arrived, so a
// reset the pipeline asks for only clears the reading state, and the presence tick keeps the
// rhythm it started with at the first reading.
class ReplayWorld final : private ScannerControl {
  public:
    ReplayWorld(const ReplaySettings& replaySettings, double traceStart, LogSink& logSink);
    ReplayWorld(const ReplayWorld&) = delete;
    ReplayWorld& operator=(const ReplayWorld&) = delete;

    // Feeds every reading at its own instant, as the tracked device's advertisements would
    // arrive, with the presence tick running from the start; then lets the tick run on for
    // `tailSeconds` after the last reading.
    void run(const std::vector<TraceReading>& readings, double tailSeconds) {
        feed(readings);
        runTail(readings, tailSeconds);
    }
    // The 1-second evaluation tick; feed() starts it.
    void startPresenceTimer() override;

    // The two halves of run(): up to and including the last reading, and the time after it.
    void feed(const std::vector<TraceReading>& readings);
    void runTail(const std::vector<TraceReading>& readings, double tailSeconds);

    // Between the trace's axis and virtual time.
    Instant instantAt(double traceTime) const;
    double traceTimeOf(Instant at) const;

    // Declared in construction order.
    sim::SimClock clock;
    sim::SimMainLoop loop;
    sim::SimExecutor bluetoothQueue;
    sim::MemorySettings persistence;
    SettingsStore settings;
    SignalReadout readout;
    sim::RecordingActions actions;
    sim::RecordingNotifier notifier;
    PresenceEngine engine;
    OutOfRangeAlerts alerts;
    ReadingPipeline pipeline;

  private:
    bool isCentralPoweredOn() const override { return true; }
    void resetBluetooth() override;
    void startScanning() override {}

    double traceStart_;
    std::optional<Instant> lastReset_;
    ScopedTimer presenceTick_;
};

}  // namespace ambleguard::cli
