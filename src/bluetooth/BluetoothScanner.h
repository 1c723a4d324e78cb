#pragma once

#include "platform/Liveness.h"
#include "platform/MainQueue.h"
#include "platform/Notifier.h"
#include "platform/Signal.h"
#include "presence/OutOfRangeAlerts.h"
#include "presence/PresenceEngine.h"
#include "presence/RSSIBuffer.h"
#include "presence/ReadingPipeline.h"
#include "presence/ScannerControl.h"

#include <optional>
#include <string_view>

namespace ambleguard {

// The one owner of the tracked device's Bluetooth side: it holds the presence engine, the
// reading pipeline and the out-of-range alerts, runs the 1-second presence tick, receives the
// screen lock notices and the Bluetooth-loss decisions, and performs Bluetooth resets. The
// logic of each of those lives in its own component; this class wires them together.
class BluetoothScanner final : private ScannerControl {
  public:
    using DevicePresenceState = ambleguard::DevicePresenceState;
    using RSSIBuffer = ambleguard::RSSIBuffer;

    static constexpr double kPresenceTickInterval = 1.0;
    static constexpr double kResetCooldownPeriod = 30.0;

    struct Dependencies {
        const Clock& clock;
        MainQueue& mainQueue;
        SettingsStore& settings;
        LogSink& logSink;
        SignalReadout& readout;
        ConnectionAttempts& connections;
        EventSounds& sounds;
        const ScreenLockControl& screenLock;
        ScheduleGate& schedule;
        AwayActions& awayActions;
        ReturnActions& returnActions;
        UnlockOnTouchControl& unlockOnTouch;
        Notifier& notifier;
    };

    explicit BluetoothScanner(const Dependencies& deps);
    ~BluetoothScanner() override;
    BluetoothScanner(const BluetoothScanner&) = delete;
    BluetoothScanner& operator=(const BluetoothScanner&) = delete;

    // Where the producers hand readings (Bluetooth executor).
    ReadingSink& readingSink() { return pipeline_; }
    // What the tracked-device selection resets (main queue).
    SignalStateResets& signalStateResets() { return pipeline_; }
    ReadingPipeline& pipeline() { return pipeline_; }
    const PresenceEngine& presenceEngine() const { return presenceEngine_; }

    void processRSSI(int raw) { pipeline_.processRSSI(raw); }
    void recordRSSIFailure(std::string_view reason) { pipeline_.recordRSSIFailure(reason); }

    // Main queue.
    void evaluatePresence() { pipeline_.evaluatePresence(); }
    void syncPresenceState(std::string_view source) { pipeline_.syncPresenceState(source); }
    void forcePresenceGone(std::string_view source) { pipeline_.forcePresenceGone(source); }
    void handleScreenLockChange(std::string_view noticeName) {
        pipeline_.handleScreenLockChange(noticeName);
    }
    void decideLockOnBluetoothLoss(BluetoothLoss loss) {
        pipeline_.decideLockOnBluetoothLoss(loss);
    }
    void showNotification(PresenceEngine::GoneReason reason) { alerts_.showNotification(reason); }
    void resetSignalState() { pipeline_.resetSignalState(); }

    // Fast user switching: the session going to the background looks like a lock to anyone in
    // this process listening for local screen notices (not to handleScreenLockChange).
    void handleSessionResignedActive();
    void handleSessionBecameActive();
    [[nodiscard]] Connection onLocalScreenNotice(std::function<void(std::string_view)> fn);

    // The 1-second evaluation tick.
    void startPresenceTimer() override;
    void stopPresenceTimer();
    bool isPresenceTimerRunning() const { return noSignalTimer_.isSet(); }

    // Clears the stuck reading state, at most once per cooldown period.
    void resetBluetooth() override;

    bool isCentralPoweredOn() const override { return centralPoweredOn_; }
    void setCentralPoweredOn(bool poweredOn) { centralPoweredOn_ = poweredOn; }

  private:
    void startScanning() override;

    const Clock& clock_;
    MainQueue& mainQueue_;
    Logger log_;
    PresenceEngine presenceEngine_;
    OutOfRangeAlerts alerts_;
    ReadingPipeline pipeline_;
    Signal<std::string_view> localScreenNotices_;
    bool centralPoweredOn_ = false;
    std::optional<Instant> lastBluetoothResetTime_;
    ScopedTimer noSignalTimer_;
    LivenessToken liveness_;
};

}  // namespace ambleguard
