#pragma once

#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "bluetooth/ConnectionAttempts.h"
#include "bluetooth/ScanMode.h"
#include "bluetooth/TrackedSelection.h"
#include "platform/BleCentral.h"
#include "platform/Clock.h"
#include "settings/SettingsStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

enum class ConnectionFeedState { disconnected, connecting, connectedPolling, coolingDown };

constexpr std::string_view toString(ConnectionFeedState state) {
    switch (state) {
        case ConnectionFeedState::disconnected:
            return "disconnected";
        case ConnectionFeedState::connecting:
            return "connecting";
        case ConnectionFeedState::connectedPolling:
            return "connectedPolling";
        case ConnectionFeedState::coolingDown:
            return "coolingDown";
    }
    return "disconnected";
}

// Keeps RSSI readings coming from a phone or watch that sits nearby but has stopped
// advertising: it opens a link to the tracked device and reads the link's RSSI once a second,
// handing each value to the reading pipeline like an advertisement's. Attempts are
// opportunistic (the device was seen, the platform handed back a link, the presence engine asks
// for a probe) and never made for beacons, in passive-only mode, or outside monitoring unless
// onboarding calibration asks for it. Every attempt ends in a short cool-down after a failure,
// so a device that refuses links is not hammered.
//
// Threads: state, timers and the generation belong to the main queue. The link callbacks
// arrive on the Bluetooth executor; there they only log, compare with the tracked identifier
// and hand readings on, then hop to the main queue.
class ConnectionFeed final : public ConnectionAttempts {
  public:
    static constexpr double kConnectionPollInterval = 1.0;
    static constexpr double kConnectAttemptTimeout = 10.0;
    static constexpr double kConnectKickDelay = 5.0;
    static constexpr double kReadStalenessLimit = 10.0;
    static constexpr double kFeedReconnectCooldown = 2.0;

    // What the feed needs from the scanner that owns it.
    class Host {
      public:
        virtual ~Host() = default;
        // The central while one exists (main queue).
        virtual BleCentral* centralManager() const = 0;
        virtual ScanMode currentScanMode() const = 0;
        // The tracked device, read consistently from any thread.
        virtual TrackedSelection::Snapshot trackedDevice() const = 0;
        // A link reading of the tracked device (Bluetooth executor).
        virtual void processLinkRSSI(int rssi) = 0;
    };

    ConnectionFeed(const Clock& clock, MainQueue& mainQueue, SettingsStore& settings,
                   LogSink& logSink, Host& host);
    ~ConnectionFeed() override;
    ConnectionFeed(const ConnectionFeed&) = delete;
    ConnectionFeed& operator=(const ConnectionFeed&) = delete;

    // --- Main queue ---
    void attemptConnection(std::string_view trigger) override;
    void tearDownConnectionFeed(std::string_view reason, bool cooldown) override;
    void setOnboardingCalibrationConnectAllowed(bool allowed) override {
        onboardingCalibrationConnectAllowed_ = allowed;
    }
    bool onboardingCalibrationConnectAllowed() const {
        return onboardingCalibrationConnectAllowed_;
    }

    ConnectionFeedState state() const { return state_; }
    const PeripheralRef& peripheral() const { return peripheral_; }
    std::int64_t generation() const { return generation_; }
    std::optional<Instant> lastSuccessfulLinkRead() const { return lastSuccessfulLinkRead_; }

    // --- Link callbacks (Bluetooth executor) ---
    void centralDidConnect(const PeripheralRef& peripheral);
    void centralDidFailToConnect(const PeripheralRef& peripheral,
                                 const std::optional<std::string>& error);
    void centralDidDisconnect(const PeripheralRef& peripheral,
                              const std::optional<std::string>& error);
    void peripheralDidReadRSSI(const PeripheralRef& peripheral, int rssi,
                               const std::optional<std::string>& error);

  private:
    bool isFeedPeripheral(const PeripheralRef& peripheral) const;
    bool passiveOnly() const;
    void handleConnected(const PeripheralRef& peripheral);
    void kickCheck(std::int64_t generation);
    void timeoutCheck(std::int64_t generation);
    void pollTick();
    void performTearDown(const std::string& reason, bool cooldown);

    const Clock& clock_;
    MainQueue& mainQueue_;
    SettingsStore& settings_;
    Logger log_;
    Host& host_;

    ConnectionFeedState state_ = ConnectionFeedState::disconnected;
    PeripheralRef peripheral_;
    std::int64_t generation_ = 0;
    ScopedTimer connectionPollTimer_;
    bool connectionSessionBounded_ = false;
    std::optional<Instant> lastSuccessfulLinkRead_;
    bool onboardingCalibrationConnectAllowed_ = false;
    // The stack cannot read a link's RSSI: said once, then the feed stays off.
    bool linkRSSIUnavailableLogged_ = false;
    ScopedTimer kickTimer_;
    ScopedTimer timeoutTimer_;
    ScopedTimer cooldownTimer_;

    LivenessToken liveness_;  // last: posted work checks it before touching anything above
};

}  // namespace ambleguard
