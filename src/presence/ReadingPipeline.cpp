#include "presence/ReadingPipeline.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"

#include <algorithm>
#include <cmath>

namespace ambleguard {

double clampFilteredRSSI(double filtered) {
    return std::clamp(filtered, -100.0, 0.0);
}

int roundFilteredRSSI(double filtered) {
    return static_cast<int>(std::round(clampFilteredRSSI(filtered)));
}

ReadingPipeline::ReadingPipeline(const Dependencies& deps)
    : clock_(deps.clock),
      mainQueue_(deps.mainQueue),
      settings_(deps.settings),
      log_(deps.logSink, "BT"),
      readout_(deps.readout),
      engine_(deps.engine),
      presence_(deps.presence),
      detectionMode_(deps.settings, bound::detectionMode),
      averageMinRSSI_(deps.settings, bound::averageMinRSSI),
      hysteresisAwayBuffer_(deps.settings, bound::hysteresisAwayBuffer),
      hysteresisReturnBuffer_(deps.settings, bound::hysteresisReturnBuffer),
      lastSeenTimeout_(deps.settings, bound::lastSeenTimeout),
      // Any write may change what the cached settings say; counting writes is enough to know
      // when to read them again. Writes can come from any thread.
      settingsObserver_(deps.settings.onChange(
          [this] { settingsGeneration_.fetch_add(1, std::memory_order_acq_rel); })) {}

// --- Readings (Bluetooth executor) ---

void ReadingPipeline::processRSSI(int raw) {
    const Instant now = clock_.now();
    const Filtered filtered = filterReading(raw, now);
    if (filtered.resetRequested) {
        // The reset belongs to the main queue, like every other change to the Bluetooth stack.
        mainQueue_.post(liveness_.guarded([this] { resetRequested_.emit(); }));
    }
    if (!filtered.accepted) {
        return;
    }
    const AcceptedReading& accepted = *filtered.accepted;
    readingAccepted_.emit(accepted);
    mainQueue_.post(liveness_.guarded([this, decision = accepted.decision, now] {
        engine_.ingest(decision, now);
        evaluatePresence();
    }));
}

ReadingPipeline::Filtered ReadingPipeline::filterReading(int raw, Instant now) {
    std::lock_guard lock(mutex_);
    SignalState& s = signal_;

    // 0 is what a confused controller reports; a run of them means the stack needs a reset.
    if (raw == 0) {
        ++s.rssiZeroCount;
        log_.debug("RSSI = 0 (count: {}, lastValid: {}), treating as false reading",
                   s.rssiZeroCount, s.lastValidRSSI);
        if (s.rssiZeroCount >= 4) {
            log_.debug("Repeated RSSI = 0 (count: {}) -> Bluetooth reset", s.rssiZeroCount);
            s.rssiZeroCount = 0;
            return Filtered{std::nullopt, true};
        }
        return {};
    }
    // 127 means "not available": a failed reading, never a signal level.
    if (raw == 127) {
        log_.debug("Invalid RSSI value (127) detected");
        recordFailureLocked("Invalid RSSI (127)", now);
        return {};
    }

    s.rssiZeroCount = 0;
    s.lastValidRSSI = raw;
    s.lastRawRSSI = raw;
    if (s.lastReadingTimestamp) {
        const double gap = secondsBetween(*s.lastReadingTimestamp, now);
        if (gap >= 3.0) {
            log_.info("Reading gap: {:.1f}s (raw={})", gap, raw);
        }
    }
    s.lastReadingTimestamp = now;
    s.consecutiveRSSIFailures = 0;
    s.lastRSSIFailureTime.reset();

    // A jump of more than 50 dB is a different situation (a new device, a reset controller),
    // not motion: start over instead of dragging the old estimate along.
    if (!s.kalmanFilter || std::fabs(raw - s.kalmanFilter->stateEstimate()) > 50.0) {
        s.kalmanFilter.emplace(static_cast<double>(raw),
                               detectionModeOrBalanced(detectionMode_.get()));
        s.rssiBuffer.clear();
    }
    const double filtered = s.kalmanFilter->update(now, static_cast<double>(raw));

    AcceptedReading reading;
    reading.time = now;
    reading.raw = raw;
    reading.filtered = clampFilteredRSSI(filtered);
    reading.rounded = roundFilteredRSSI(filtered);
    s.rssiBuffer.add(reading.rounded);
    reading.average = s.rssiBuffer.roundedMean();
    readout_.publish(reading.rounded, reading.average, now);

    log_.debug("RSSI Processing: Raw={} Filtered={:.2f} Uncertainty={:.2f} Velocity={:.2f}", raw,
               reading.filtered, s.kalmanFilter->errorCovariance(), s.kalmanFilter->velocity());

    if (const auto generation = settingsGeneration_.load(std::memory_order_acquire);
        s.settingsSeen != generation) {
        s.settingsSeen = generation;
        s.decideOnRaw = settings_.boolForKey(keys::decideOnRawRSSI);
    }
    const bool decideOnRaw = s.decideOnRaw;
    if (s.lastLoggedDecisionSourceRaw != decideOnRaw) {
        s.lastLoggedDecisionSourceRaw = decideOnRaw;
        log_.info("Presence decisions on {} RSSI", decideOnRaw ? "raw" : "Kalman-filtered");
    }
    reading.decision = decideOnRaw ? raw : reading.rounded;
    return Filtered{reading, false};
}

void ReadingPipeline::recordRSSIFailure(std::string_view reason) {
    const Instant now = clock_.now();
    std::lock_guard lock(mutex_);
    recordFailureLocked(reason, now);
}

void ReadingPipeline::recordFailureLocked(std::string_view reason, Instant now) {
    ++signal_.consecutiveRSSIFailures;
    signal_.lastRSSIFailureTime = now;
    log_.debug("RSSI Failure: {} (Consecutive: {})", reason, signal_.consecutiveRSSIFailures);
}

// --- Decisions (main queue) ---

PresenceThresholds ReadingPipeline::makePresenceThresholds() const {
    PresenceThresholds t;
    t.threshold = averageMinRSSI_.get();
    t.awayBuffer = hysteresisAwayBuffer_.get();
    t.returnBuffer = hysteresisReturnBuffer_.get();
    t.lastSeenTimeout = lastSeenTimeout_.get();
    t.weakSilenceLimit = 8.0;
    t.strongSilenceLimit = 30.0;
    t.suppressSuddenSignalLoss = settings_.boolForKey(keys::suppressSuddenSignalLoss);
    t.probeConnectCooldown = 10.0;
    t.probeResetSilence = 20.0;
    t.probeResetCooldown = 30.0;
    t.freshWindow = 6.0;
    // Raw readings are noisier, so a single one must not decide on its own.
    t.minFreshReadings = settings_.boolForKey(keys::decideOnRawRSSI) ? 2 : 1;
    t.minSpanReadings = 3;
    t.minSpan = 1.5;
    return t;
}

const ReadingPipeline::MainSettings& ReadingPipeline::mainSettings() {
    if (const auto generation = settingsGeneration_.load(std::memory_order_acquire);
        mainSettings_.settingsSeen != generation) {
        mainSettings_.settingsSeen = generation;
        mainSettings_.thresholds = makePresenceThresholds();
        mainSettings_.storedPresence = parseDevicePresenceState(storedPresenceState(settings_))
                                           .value_or(DevicePresenceState::present);
    }
    return mainSettings_;
}

void ReadingPipeline::evaluatePresence() {
    const auto effects = engine_.evaluate(clock_.now(), mainSettings().thresholds);
    // Publish first, so that every consequence already sees the new state.
    syncPresenceState("engine decision");
    for (const auto& effect : effects) {
        effectEmitted_.emit(effect);
        effectToCarryOut_.emit(effect);
    }
}

void ReadingPipeline::syncPresenceState(std::string_view source) {
    const DevicePresenceState next = devicePresenceStateFor(engine_.state());
    const DevicePresenceState old = mainSettings().storedPresence;
    if (next == old) {
        presence_.set(next);
        return;
    }
    log_.debug("Presence: {} -> {} ({})", rawValue(old), rawValue(next), source);
    settings_.setString(keys::devicePresenceState, std::string(rawValue(next)));
    presence_.set(next);
    presencePublished_.emit(old, next, source);
    if (next == DevicePresenceState::absent) {
        deviceConfirmedGone_.emit(source, old);
    }
}

void ReadingPipeline::forcePresenceGone(std::string_view source) {
    (void)engine_.force(PresenceEngine::Gone{});
    syncPresenceState(source);
}

void ReadingPipeline::awaitPresenceAfterWake() {
    engine_.awaitConfirmation(clock_.now());
}

// --- Resets (main queue) ---

void ReadingPipeline::resetSignalState() {
    std::lock_guard lock(mutex_);
    signal_.rssiBuffer.clear();
    signal_.consecutiveRSSIFailures = 0;
    signal_.lastRSSIFailureTime.reset();
    signal_.rssiZeroCount = 0;
    signal_.kalmanFilter.reset();
}

void ReadingPipeline::clearBufferAndFailures() {
    std::lock_guard lock(mutex_);
    signal_.rssiBuffer.clear();
    signal_.consecutiveRSSIFailures = 0;
    signal_.lastRSSIFailureTime.reset();
}

void ReadingPipeline::clearFailures() {
    std::lock_guard lock(mutex_);
    signal_.consecutiveRSSIFailures = 0;
    signal_.lastRSSIFailureTime.reset();
}

void ReadingPipeline::shortReset() {
    {
        std::lock_guard lock(mutex_);
        signal_.kalmanFilter.reset();
        signal_.consecutiveRSSIFailures = 0;
        signal_.lastRSSIFailureTime.reset();
        signal_.lastReadingTimestamp.reset();
    }
    readout_.clear();
}

void ReadingPipeline::fullReset() {
    engine_.clearHistory();
    {
        std::lock_guard lock(mutex_);
        signal_.rssiBuffer.clear();
    }
    shortReset();
}

void ReadingPipeline::dropFilter() {
    std::lock_guard lock(mutex_);
    signal_.kalmanFilter.reset();
}

ReadingPipeline::SignalSnapshot ReadingPipeline::signalSnapshot() const {
    std::lock_guard lock(mutex_);
    SignalSnapshot snapshot;
    snapshot.lastRawRSSI = signal_.lastRawRSSI;
    snapshot.lastValidRSSI = signal_.lastValidRSSI;
    snapshot.rssiZeroCount = signal_.rssiZeroCount;
    snapshot.consecutiveRSSIFailures = signal_.consecutiveRSSIFailures;
    snapshot.lastRSSIFailureTime = signal_.lastRSSIFailureTime;
    snapshot.lastReadingTimestamp = signal_.lastReadingTimestamp;
    if (signal_.kalmanFilter) {
        snapshot.filterEstimate = signal_.kalmanFilter->stateEstimate();
    }
    snapshot.bufferValues.assign(signal_.rssiBuffer.values().begin(),
                                 signal_.rssiBuffer.values().end());
    return snapshot;
}

int ReadingPipeline::lastRawRSSI() const {
    std::lock_guard lock(mutex_);
    return signal_.lastRawRSSI;
}

Connection ReadingPipeline::onReadingAccepted(std::function<void(const AcceptedReading&)> fn) {
    return readingAccepted_.connect(std::move(fn));
}

Connection ReadingPipeline::onPresencePublished(
    std::function<void(DevicePresenceState, DevicePresenceState, std::string_view)> fn) {
    return presencePublished_.connect(std::move(fn));
}

Connection ReadingPipeline::onEffect(std::function<void(const PresenceEngine::Effect&)> fn) {
    return effectEmitted_.connect(std::move(fn));
}

Connection ReadingPipeline::onEffectToCarryOut(
    std::function<void(const PresenceEngine::Effect&)> fn) {
    return effectToCarryOut_.connect(std::move(fn));
}

Connection ReadingPipeline::onDeviceConfirmedGone(
    std::function<void(std::string_view, DevicePresenceState)> fn) {
    return deviceConfirmedGone_.connect(std::move(fn));
}

Connection ReadingPipeline::onBluetoothResetRequested(std::function<void()> fn) {
    return resetRequested_.connect(std::move(fn));
}

}  // namespace ambleguard
