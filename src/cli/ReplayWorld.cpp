#include "cli/ReplayWorld.h"

#include "app/SettingsKeys.h"
#include "bluetooth/CentralLifecycle.h"

namespace ambleguard::cli {

namespace {

SettingValues initialSettings(const ReplaySettings& s) {
    SettingValues values;
    values[std::string(keys::detectionMode)] = s.detectionMode;
    values[std::string(keys::averageMinRSSI)] = s.averageMinRSSI;
    values[std::string(keys::hysteresisAwayBuffer)] = s.hysteresisAwayBuffer;
    values[std::string(keys::hysteresisReturnBuffer)] = s.hysteresisReturnBuffer;
    values[std::string(keys::lastSeenTimeout)] = s.lastSeenTimeout;
    values[std::string(keys::decideOnRawRSSI)] = s.decideOnRawRSSI;
    values[std::string(keys::suppressSuddenSignalLoss)] = s.suppressSuddenSignalLoss;
    // A device is chosen before the scanner starts, so nothing reads as a fresh selection.
    values[std::string(keys::checkedPeripheralUUID)] =
        std::string("5B0F2C7E-3A41-4D8B-9E16-7C2A0D4F8B31");
    values[std::string(keys::checkedPeripheralName)] = std::string("Replayed device");
    return values;
}

}  // namespace

ReplayWorld::ReplayWorld(const ReplaySettings& replaySettings, double traceStart, LogSink& logSink)
    : clock(sim::SimClock::defaultStart()),
      loop(clock),
      bluetoothQueue(loop),
      persistence(initialSettings(replaySettings)),
      settings(persistence, logSink),
      alerts(clock, settings, notifier, engine, readout, logSink),
      pipeline(ReadingPipeline::Dependencies{
          .clock = clock,
          .mainQueue = loop,
          .settings = settings,
          .logSink = logSink,
          .readout = readout,
          .engine = engine,
          .scanner = *this,
          .connections = actions,
          .sounds = actions,
          .screenLock = actions,
          .schedule = actions,
          .awayActions = actions,
          .returnActions = actions,
          .unlockOnTouch = actions,
          .notifications = alerts,
      }),
      traceStart_(traceStart) {}

Instant ReplayWorld::instantAt(double traceTime) const {
    return addSeconds(sim::SimClock::defaultStart(), traceTime - traceStart_);
}

double ReplayWorld::traceTimeOf(Instant at) const {
    return traceStart_ + secondsBetween(sim::SimClock::defaultStart(), at);
}

void ReplayWorld::feed(const std::vector<TraceReading>& readings) {
    startPresenceTimer();
    for (const auto& reading : readings) {
        loop.advanceTo(instantAt(reading.t));
        bluetoothQueue.post([this, rssi = reading.rssi] { pipeline.processRSSI(rssi); });
    }
    loop.runDue();
}

void ReplayWorld::startPresenceTimer() {
    presenceTick_ = loop.scheduleRepeating(1.0, 0.0, [this] { pipeline.evaluatePresence(); });
}

void ReplayWorld::resetBluetooth() {
    // Spaced like the program's resets; only their effect on the readings matters here.
    const Instant now = clock.now();
    if (lastReset_ && secondsBetween(*lastReset_, now) < CentralLifecycle::kResetCooldownPeriod) {
        return;
    }
    lastReset_ = now;
    pipeline.resetSignalState();
}

void ReplayWorld::runTail(const std::vector<TraceReading>& readings, double tailSeconds) {
    if (!readings.empty()) {
        loop.advanceTo(addSeconds(instantAt(readings.back().t), tailSeconds));
    }
}

}  // namespace ambleguard::cli
