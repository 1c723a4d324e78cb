#include "cli/ReplayWorld.h"
#include "feedback/EventSoundPlayer.h"

#include "settings/SettingsKeys.h"

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

sim::SimPlatformOptions replayPlatform(const ReplaySettings& s) {
    sim::SimPlatformOptions options;
    options.settings = initialSettings(s);
    options.soundFiles = EventSoundPlayer::installedSoundFiles(sim::SimSoundFiles::kResourceRoot);
    return options;
}

}  // namespace

ReplayWorld::ReplayWorld(const ReplaySettings& replaySettings, double traceStart, LogSink& logSink)
    : platform(replayPlatform(replaySettings), logSink, console_),
      app(platform.ports()),
      traceStart_(traceStart) {}

Instant ReplayWorld::instantAt(double traceTime) const {
    return addSeconds(sim::SimClock::defaultStart(), traceTime - traceStart_);
}

double ReplayWorld::traceTimeOf(Instant at) const {
    return traceStart_ + secondsBetween(sim::SimClock::defaultStart(), at);
}

void ReplayWorld::feed(const std::vector<TraceReading>& readings) {
    // The central exists and reports powered on from the first instant; its presence tick
    // starts with it, so the first evaluation comes one second after the first reading.
    scanner.setupCentralManager();
    loop.runDue();
    for (const auto& reading : readings) {
        loop.advanceTo(instantAt(reading.t));
        bluetoothQueue.post([this, rssi = reading.rssi] { scanner.processRSSI(rssi); });
    }
    loop.runDue();
}

void ReplayWorld::runTail(const std::vector<TraceReading>& readings, double tailSeconds) {
    if (!readings.empty()) {
        loop.advanceTo(addSeconds(instantAt(readings.back().t), tailSeconds));
    }
}

}  // namespace ambleguard::cli
