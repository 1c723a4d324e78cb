#pragma once

#include "app/Application.h"
#include "base/Log.h"
#include "cli/ReplayTrace.h"
#include "platform/Console.h"
#include "platform/sim/SimPlatform.h"

#include <string>

namespace ambleguard::cli {

// The settings a replay runs with; stored before the scanner exists.
struct ReplaySettings {
    std::string detectionMode = "Stable";  // stored verbatim
    double averageMinRSSI = -67.0;
    double hysteresisAwayBuffer = 4.0;
    double hysteresisReturnBuffer = 4.0;
    double lastSeenTimeout = 1.0;
    bool decideOnRawRSSI = false;
    bool suppressSuddenSignalLoss = false;
};

// Everything a replay needs, built the way the program builds it (the same composition root),
// on the simulated platform: virtual time, an in-memory settings store holding the replay's
// settings and a tracked device. The user's own settings are never touched.
class ReplayWorld {
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
    // The two halves of run(): up to and including the last reading, and the time after it.
    void feed(const std::vector<TraceReading>& readings);
    void runTail(const std::vector<TraceReading>& readings, double tailSeconds);

    // The same one reading at a time, for a trace read as it goes: start(), then feed() for
    // every reading in time order, then finishFeeding(), then runTail() from the last one.
    void start();
    void feed(const TraceReading& reading);
    void finishFeeding();
    void runTail(double lastReadingTime, double tailSeconds);

    // Between the trace's axis and virtual time.
    Instant instantAt(double traceTime) const;
    double traceTimeOf(Instant at) const;

  private:
    // Texts the components write to standard output are not part of a replay's output.
    NullConsoleOutput console_;

  public:
    // Declared in construction order.
    sim::SimPlatform platform;
    Application app;
    sim::SimClock& clock = platform.clock;
    sim::SimMainLoop& loop = platform.loop;
    sim::SimExecutor& bluetoothQueue = platform.bluetoothQueue;
    SignalReadout& readout = app.readout;
    BluetoothScanner& scanner = app.scanner;

  private:
    double traceStart_;
};

}  // namespace ambleguard::cli
