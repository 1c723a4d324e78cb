#pragma once

#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Published.h"
#include "base/Signal.h"
#include "platform/Clock.h"
#include "presence/DevicePresenceState.h"
#include "presence/KalmanFilter.h"
#include "presence/PresenceEngine.h"
#include "presence/RSSIBuffer.h"
#include "presence/ReadingSink.h"
#include "presence/SignalReadout.h"
#include "settings/BoundSetting.h"
#include "settings/SettingsStore.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard {

// A filtered value as the rest of the program sees it: limited to -100...0 dBm, then rounded
// to whole dBm with halves away from zero.
double clampFilteredRSSI(double filtered);
int roundFilteredRSSI(double filtered);

// Turns the tracked device's raw RSSI into the published presence state and the engine's
// effects. Readings arrive on the Bluetooth executor, where they are checked and smoothed; each
// then hops to the main queue, where the presence engine decides. What follows from a decision
// (sounds, alerts, actions, probes) is carried out by whoever subscribes to the effects; the
// pipeline itself only filters, decides and publishes. Everything but the readings runs on the
// main queue.
class ReadingPipeline final : public ReadingSink, public SignalStateResets {
  public:
    struct Dependencies {
        const Clock& clock;
        MainQueue& mainQueue;
        SettingsStore& settings;
        LogSink& logSink;
        SignalReadout& readout;
        PresenceEngine& engine;
        // Where the presence is published for the rest of the program (main queue).
        Published<DevicePresenceState>& presence;
    };

    // A reading that got through validation and the filter.
    struct AcceptedReading {
        Instant time;
        int raw = 0;
        double filtered = 0;  // the filter's output limited to -100...0, before rounding
        int rounded = 0;
        int average = 0;
        int decision = 0;  // what the presence engine is given
    };

    // The reading state, copied (for display, diagnostics and tests).
    struct SignalSnapshot {
        int lastRawRSSI = 0;  // 0: no reading yet
        int lastValidRSSI = 0;
        int rssiZeroCount = 0;
        int consecutiveRSSIFailures = 0;
        std::optional<Instant> lastRSSIFailureTime;
        std::optional<Instant> lastReadingTimestamp;
        std::optional<double> filterEstimate;  // nothing while no filter exists
        std::vector<int> bufferValues;
    };

    explicit ReadingPipeline(const Dependencies& deps);
    ReadingPipeline(const ReadingPipeline&) = delete;
    ReadingPipeline& operator=(const ReadingPipeline&) = delete;

    // Bluetooth executor (recordRSSIFailure: any thread).
    void processRSSI(int raw) override;
    void recordRSSIFailure(std::string_view reason) override;

    // Main queue.
    void evaluatePresence();
    PresenceThresholds makePresenceThresholds() const;
    void syncPresenceState(std::string_view source);
    // Imposes `gone` (Bluetooth or the machine is unavailable) and publishes it with `source`.
    // The engine's effect is dropped: the caller makes its own lock decision.
    void forcePresenceGone(std::string_view source);
    // See PresenceEngine::awaitConfirmation (the reactions run the away action for such a
    // departure only on an unlocked screen).
    void awaitPresenceAfterWake();

    // The presence as last published (main queue). The settings store keeps a persisted copy
    // for readers that read it directly.
    const Published<DevicePresenceState>& presence() const { return presence_; }

    // Clears the short-term reading state after a Bluetooth reset or before sleep.
    void resetSignalState();
    // Bluetooth came (back) on: the display buffer and the failure count start over, the
    // filter is kept.
    void clearBufferAndFailures();
    // The screen was unlocked with Bluetooth on: earlier failures say nothing about now.
    void clearFailures();
    void shortReset() override;
    void fullReset() override;
    void dropFilter() override;

    SignalSnapshot signalSnapshot() const;
    // The newest raw reading (0: none yet); any thread.
    int lastRawRSSI() const;
    const PresenceEngine& presenceEngine() const { return engine_; }

    // Observers. Accepted readings are announced on the Bluetooth executor, before the
    // decisions they cause; the others on the main queue. Connect before readings flow.
    [[nodiscard]] Connection onReadingAccepted(std::function<void(const AcceptedReading&)> fn);
    [[nodiscard]] Connection onPresencePublished(
        std::function<void(DevicePresenceState old, DevicePresenceState now,
                           std::string_view source)>
            fn);
    // Every effect the engine emits, announced before anything acts on it.
    [[nodiscard]] Connection onEffect(std::function<void(const PresenceEngine::Effect&)> fn);
    // The same effects, for the one component that carries them out, right after the
    // announcement (so observers always see an effect before its consequences).
    [[nodiscard]] Connection onEffectToCarryOut(
        std::function<void(const PresenceEngine::Effect&)> fn);
    // The published state became absent; with its source and the state before. After the
    // publication observers.
    [[nodiscard]] Connection onDeviceConfirmedGone(
        std::function<void(std::string_view source, DevicePresenceState old)> fn);
    // A run of zero readings suggests a stuck Bluetooth stack (main queue).
    [[nodiscard]] Connection onBluetoothResetRequested(std::function<void()> fn);

  private:
    // State written by the Bluetooth executor and reset from the main queue.
    struct SignalState {
        std::optional<KalmanFilter> kalmanFilter;
        RSSIBuffer rssiBuffer;
        int lastRawRSSI = 0;
        int lastValidRSSI = 0;
        int rssiZeroCount = 0;
        int consecutiveRSSIFailures = 0;
        std::optional<Instant> lastRSSIFailureTime;
        std::optional<Instant> lastReadingTimestamp;
        std::optional<bool> lastLoggedDecisionSourceRaw;
        // `decideOnRawRSSI` as of settings generation `settingsSeen`.
        bool decideOnRaw = false;
        std::uint64_t settingsSeen = 0;
    };

    // The settings every evaluation reads, re-read only after a write to the store: a lookup
    // costs more than the rest of an evaluation, and evaluations run many times per second.
    struct MainSettings {
        PresenceThresholds thresholds;
        DevicePresenceState storedPresence = DevicePresenceState::present;
        std::uint64_t settingsSeen = 0;
    };
    const MainSettings& mainSettings();

    // What one raw reading leads to: a reading for the engine (none for a false or failed one),
    // and whether a run of false readings asks for a Bluetooth reset. Both can be absent.
    struct Filtered {
        std::optional<AcceptedReading> accepted;
        bool resetRequested = false;
    };
    Filtered filterReading(int raw, Instant now);
    void recordFailureLocked(std::string_view reason, Instant now);

    const Clock& clock_;
    MainQueue& mainQueue_;
    SettingsStore& settings_;
    Logger log_;
    SignalReadout& readout_;
    PresenceEngine& engine_;
    Published<DevicePresenceState>& presence_;

    BoundSetting<std::string> detectionMode_;
    BoundSetting<double> averageMinRSSI_;
    BoundSetting<double> hysteresisAwayBuffer_;
    BoundSetting<double> hysteresisReturnBuffer_;
    BoundSetting<double> lastSeenTimeout_;

    mutable std::mutex mutex_;
    SignalState signal_;

    std::atomic<std::uint64_t> settingsGeneration_{1};
    MainSettings mainSettings_;
    Connection settingsObserver_;

    Signal<const AcceptedReading&> readingAccepted_;
    Signal<DevicePresenceState, DevicePresenceState, std::string_view> presencePublished_;
    Signal<const PresenceEngine::Effect&> effectEmitted_;
    Signal<const PresenceEngine::Effect&> effectToCarryOut_;
    Signal<std::string_view, DevicePresenceState> deviceConfirmedGone_;
    Signal<> resetRequested_;

    LivenessToken liveness_;  // last: posted work checks it before touching anything above
};

}  // namespace ambleguard
