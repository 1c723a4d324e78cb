#include "presence/ReadingPipeline.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsReaders.h"

#include <algorithm>
#include <cmath>

namespace ambleguard {

namespace {

struct LossTexts {
    std::string_view suppressed;
    std::string_view locking;
    std::string_view notLocking;  // takes the last raw RSSI
};

LossTexts lossTexts(BluetoothLoss loss) {
    switch (loss) {
        case BluetoothLoss::poweredOff:
            return {"Lock suppressed by schedule (Bluetooth off)",
                    "(Lock Screen) Bluetooth state: Powered Off, device not nearby",
                    "Not locking screen despite Bluetooth off - device likely nearby (last RSSI: "
                    "{})"};
        case BluetoothLoss::unauthorized:
            return {"Lock suppressed by schedule (Bluetooth unauthorized)",
                    "(Lock Screen) Bluetooth unauthorized, device not nearby",
                    "Not locking screen despite Bluetooth unauthorized - device likely nearby "
                    "(last RSSI: {})"};
        case BluetoothLoss::unavailable:
            break;
    }
    return {"Lock suppressed by schedule (Bluetooth unavailable)",
            "(Lock Screen) Bluetooth not available, device not nearby",
            "Not locking screen despite Bluetooth unavailable - device likely nearby (last RSSI: "
            "{})"};
}

bool isProbe(const PresenceEngine::Effect& effect) {
    return std::holds_alternative<PresenceEngine::ProbeConnect>(effect) ||
           std::holds_alternative<PresenceEngine::ProbeReset>(effect);
}

}  // namespace

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
      scanner_(deps.scanner),
      connections_(deps.connections),
      sounds_(deps.sounds),
      screenLock_(deps.screenLock),
      schedule_(deps.schedule),
      awayActions_(deps.awayActions),
      returnActions_(deps.returnActions),
      notifications_(deps.notifications),
      // A confirmed departure disarms unlock on touch, whatever caused it.
      deviceGoneSink_([&unlockOnTouch = deps.unlockOnTouch](std::string_view source,
                                                            DevicePresenceState old) {
          unlockOnTouch.deviceConfirmedGone(fmt::format("{}, {} -> Absent", source, rawValue(old)));
      }),
      detectionMode_(deps.settings, keys::detectionMode, "Stable"),
      averageMinRSSI_(deps.settings, keys::averageMinRSSI, -67.0),
      hysteresisAwayBuffer_(deps.settings, keys::hysteresisAwayBuffer, 4.0),
      hysteresisReturnBuffer_(deps.settings, keys::hysteresisReturnBuffer, 4.0),
      lastSeenTimeout_(deps.settings, keys::lastSeenTimeout, 1.0),
      // Any write may change what the cached settings say; counting writes is enough to know
      // when to read them again. Writes can come from any thread.
      settingsObserver_(deps.settings.onChange(
          [this] { settingsGeneration_.fetch_add(1, std::memory_order_acq_rel); })) {}

// --- Readings (Bluetooth executor) ---

void ReadingPipeline::processRSSI(int raw) {
    const Instant now = clock_.now();
    bool resetRequested = false;
    const auto accepted = filterReading(raw, now, resetRequested);
    if (resetRequested) {
        // The reset belongs to the main queue, like every other change to the Bluetooth stack.
        mainQueue_.post(liveness_.guarded([this] { scanner_.resetBluetooth(); }));
    }
    if (!accepted) {
        return;
    }
    readingAccepted_.emit(*accepted);
    mainQueue_.post(liveness_.guarded([this, decision = accepted->decision, now] {
        engine_.ingest(decision, now);
        evaluatePresence();
    }));
}

std::optional<ReadingPipeline::AcceptedReading> ReadingPipeline::filterReading(
    int raw, Instant now, bool& resetRequested) {
    std::lock_guard lock(mutex_);
    SignalState& s = signal_;

    // 0 is what a confused controller reports; a run of them means the stack needs a reset.
    if (raw == 0) {
        ++s.rssiZeroCount;
        log_.debug("RSSI = 0 (count: {}, lastValid: {}), treating as false reading",
                   s.rssiZeroCount, s.lastValidRSSI);
        if (s.rssiZeroCount >= 4) {
            log_.debug("Repeated RSSI = 0 (count: {}) -> Bluetooth reset", s.rssiZeroCount);
            resetRequested = true;
            s.rssiZeroCount = 0;
        }
        return std::nullopt;
    }
    // 127 means "not available": a failed reading, never a signal level.
    if (raw == 127) {
        log_.debug("Invalid RSSI value (127) detected");
        recordFailureLocked("Invalid RSSI (127)", now);
        return std::nullopt;
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
    readout_.publish(reading.rounded, reading.average);

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
    return reading;
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
    // Publish first, so that every consequence below already sees the new state.
    syncPresenceState("engine decision");
    for (const auto& effect : effects) {
        effectEmitted_.emit(effect);
        // Probes only make sense while there is a powered central to probe with.
        if (isProbe(effect) && !scanner_.isCentralPoweredOn()) {
            continue;
        }
        handlePresenceEffect(effect);
    }
}

void ReadingPipeline::syncPresenceState(std::string_view source) {
    const DevicePresenceState next = devicePresenceStateFor(engine_.state());
    const DevicePresenceState old = mainSettings().storedPresence;
    if (next == old) {
        return;
    }
    log_.debug("Presence: {} -> {} ({})", rawValue(old), rawValue(next), source);
    settings_.setString(keys::devicePresenceState, std::string(rawValue(next)));
    presencePublished_.emit(old, next, source);
    if (next == DevicePresenceState::absent) {
        deviceGoneSink_(source, old);
    }
}

void ReadingPipeline::handlePresenceEffect(const PresenceEngine::Effect& effect) {
    if (const auto* gone = std::get_if<PresenceEngine::BecameGone>(&effect)) {
        if (gone->unconfirmed) {
            // Sleep only assumed the device gone. Nobody may have seen the screen lock since,
            // but a locked screen needs no away action.
            if (screenLock_.isLocked()) {
                log_.debug("Device not heard since wake - screen already locked");
                return;
            }
            log_.info("Device not heard since wake - acting on the departure");
        }
        handleDeviceGone(gone->reason);
    } else if (std::holds_alternative<PresenceEngine::Returned>(effect)) {
        log_.debug("Device returned");
        if (!schedule_.shouldSuppress()) {
            sounds_.play(SoundEvent::deviceReturned);
        }
        // Both apply their own gates.
        returnActions_.performReturnAction();
        returnActions_.performUnlockOnReturn();
    } else if (std::holds_alternative<PresenceEngine::CancelledLeaving>(effect)) {
        log_.debug("Leaving cancelled - signal recovered");
    } else if (std::holds_alternative<PresenceEngine::ProbeConnect>(effect)) {
        connections_.attemptConnection("grace-window");
    } else if (std::holds_alternative<PresenceEngine::ProbeReset>(effect)) {
        log_.debug("Silence probe -> Bluetooth reset");
        scanner_.resetBluetooth();
    }
}

void ReadingPipeline::handleDeviceGone(PresenceEngine::GoneReason reason) {
    log_.debug("(Lock Screen) Device gone ({})", toString(reason));
    if (schedule_.shouldSuppress()) {
        log_.debug("Lock suppressed by schedule (device gone)");
        return;
    }
    // On a locked screen nobody is there to hear or read about it.
    if (!screenLock_.isLocked()) {
        sounds_.play(SoundEvent::deviceLeft);
        if (settings_.boolForKey(keys::notificationsAllowed)) {
            notifications_.showNotification(reason);
        }
    }
    // The away action decides itself what a locked screen means for it.
    awayActions_.performAwayAction();
}

void ReadingPipeline::forcePresenceGone(std::string_view source) {
    (void)engine_.force(PresenceEngine::Gone{});
    syncPresenceState(source);
}

void ReadingPipeline::awaitPresenceAfterWake() {
    engine_.awaitConfirmation(clock_.now());
}

void ReadingPipeline::handleScreenLockChange(std::string_view noticeName) {
    const Instant now = clock_.now();
    if (noticeName == kScreenUnlockedNotice) {
        if (scanner_.isCentralPoweredOn()) {
            log_.debug("Screen unlocked - previous state: {}", storedPresenceState(settings_));
            settings_.setDate(keys::lastScreenUnlockTime, now);
            {
                std::lock_guard lock(mutex_);
                signal_.consecutiveRSSIFailures = 0;
                signal_.lastRSSIFailureTime.reset();
            }
            if (settings_.boolForKey(keys::canScan)) {
                scanner_.startScanning();
            }
            scanner_.startPresenceTimer();
        } else {
            // Without Bluetooth there is no evidence the device is here: stay absent, but do
            // not run the away action on a screen the user just unlocked.
            (void)engine_.force(PresenceEngine::Gone{});
            syncPresenceState("Bluetooth off at unlock");
            log_.debug("Screen unlocked but Bluetooth is off - maintaining absent state");
        }
    } else if (noticeName == kScreenLockedNotice) {
        const std::string awayShortcut = timeAgo(keys::lastAwayShortcutTime, now);
        const std::string directLock = timeAgo(keys::lastDirectLockTime, now);
        const std::string unlock = timeAgo(keys::lastScreenUnlockTime, now);
        settings_.setDate(keys::lastScreenLockTime, now);
        log_.debug(
            "Screen locked - presence: {}, last away shortcut: {}, last direct lock: {}, last "
            "unlock: {}",
            storedPresenceState(settings_), awayShortcut, directLock, unlock);
    }
}

std::string ReadingPipeline::timeAgo(std::string_view key, Instant now) const {
    if (auto at = settings_.dateForKey(key)) {
        return fmt::format("{:.1f}s ago", secondsBetween(*at, now));
    }
    return "never";
}

void ReadingPipeline::decideLockOnBluetoothLoss(BluetoothLoss loss) {
    const LossTexts texts = lossTexts(loss);
    int lastRaw = 0;
    {
        std::lock_guard lock(mutex_);
        lastRaw = signal_.lastRawRSSI;
    }
    // Without a reading there is no sign the device is near, so that counts as far away.
    const bool notNearby = !screenLock_.isLocked() && (lastRaw < -60 || lastRaw == 0);
    if (!notNearby) {
        log_.debug(fmt::runtime(texts.notLocking), lastRaw);
        return;
    }
    if (schedule_.shouldSuppress()) {
        log_.debug("{}", texts.suppressed);
        return;
    }
    sounds_.play(SoundEvent::deviceLeft);
    if (settings_.boolForKey(keys::notificationsAllowed)) {
        notifications_.showNotification(PresenceEngine::GoneReason::weak);
    }
    log_.debug("{}", texts.locking);
    awayActions_.performAwayAction();
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

}  // namespace ambleguard
