#pragma once

#include "actions/AwayActions.h"
#include "actions/ReturnActions.h"
#include "actions/ScheduleGate.h"
#include "actions/ScreenLockControl.h"
#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "bluetooth/ConnectionAttempts.h"
#include "feedback/EventSounds.h"
#include "platform/Clock.h"
#include "presence/DevicePresenceState.h"
#include "presence/KalmanFilter.h"
#include "presence/OutOfRangeNotifier.h"
#include "presence/PresenceEngine.h"
#include "presence/RSSIBuffer.h"
#include "presence/ReadingSink.h"
#include "presence/ScannerControl.h"
#include "presence/SignalReadout.h"
#include "settings/BoundSetting.h"
#include "settings/SettingsStore.h"
#include "unlock/UnlockInterfaces.h"

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

// How Bluetooth went away, for the lock decision.
enum class BluetoothLoss { poweredOff, unauthorized, unavailable };

// Turns the tracked device's raw RSSI into the published presence state and its consequences.
// Readings arrive on the Bluetooth executor, where they are checked and smoothed; each then
// hops to the main queue, where the presence engine decides and the effects are carried out.
// Everything else runs on the main queue.
class ReadingPipeline final : public ReadingSink, public SignalStateResets {
  public:
    static constexpr std::string_view kScreenLockedNotice = "com.apple.screenIsLocked";
    static constexpr std::string_view kScreenUnlockedNotice = "com.apple.screenIsUnlocked";

    struct Dependencies {
        const Clock& clock;
        MainQueue& mainQueue;
        SettingsStore& settings;
        LogSink& logSink;
        SignalReadout& readout;
        PresenceEngine& engine;
        ScannerControl& scanner;
        ConnectionAttempts& connections;
        EventSounds& sounds;
        const ScreenLockControl& screenLock;
        ScheduleGate& schedule;
        AwayActions& awayActions;
        ReturnActions& returnActions;
        UnlockOnTouchControl& unlockOnTouch;
        OutOfRangeNotifier& notifications;
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

    // Called when the published state becomes absent, with the source and the state before.
    using DeviceGoneSink = std::function<void(std::string_view source, DevicePresenceState old)>;

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
    void handlePresenceEffect(const PresenceEngine::Effect& effect);
    // Imposes `gone` (Bluetooth or the machine is unavailable) and publishes it with `source`.
    // The engine's effect is dropped: the caller makes its own lock decision.
    void forcePresenceGone(std::string_view source);
    // See PresenceEngine::awaitConfirmation; a departure found that way runs the away action
    // only on an unlocked screen.
    void awaitPresenceAfterWake();
    void handleScreenLockChange(std::string_view noticeName);
    void decideLockOnBluetoothLoss(BluetoothLoss loss);

    // Clears the short-term reading state after a Bluetooth reset or before sleep.
    void resetSignalState();
    // Bluetooth came (back) on: the display buffer and the failure count start over, the
    // filter is kept.
    void clearBufferAndFailures();
    void shortReset() override;
    void fullReset() override;
    void dropFilter() override;

    SignalSnapshot signalSnapshot() const;
    const PresenceEngine& presenceEngine() const { return engine_; }

    // Observers. Accepted readings are announced on the Bluetooth executor, before the
    // decisions they cause; the others on the main queue. Connect before readings flow.
    [[nodiscard]] Connection onReadingAccepted(std::function<void(const AcceptedReading&)> fn);
    [[nodiscard]] Connection onPresencePublished(
        std::function<void(DevicePresenceState old, DevicePresenceState now,
                           std::string_view source)>
            fn);
    // Every effect the engine emits, whether or not it is acted on.
    [[nodiscard]] Connection onEffect(std::function<void(const PresenceEngine::Effect&)> fn);

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

    std::optional<AcceptedReading> filterReading(int raw, Instant now, bool& resetRequested);
    void recordFailureLocked(std::string_view reason, Instant now);
    void handleDeviceGone(PresenceEngine::GoneReason reason);
    std::string timeAgo(std::string_view key, Instant now) const;

    const Clock& clock_;
    MainQueue& mainQueue_;
    SettingsStore& settings_;
    Logger log_;
    SignalReadout& readout_;
    PresenceEngine& engine_;
    ScannerControl& scanner_;
    ConnectionAttempts& connections_;
    EventSounds& sounds_;
    const ScreenLockControl& screenLock_;
    ScheduleGate& schedule_;
    AwayActions& awayActions_;
    ReturnActions& returnActions_;
    OutOfRangeNotifier& notifications_;
    const DeviceGoneSink deviceGoneSink_;

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

    LivenessToken liveness_;  // last: posted work checks it before touching anything above
};

}  // namespace ambleguard
