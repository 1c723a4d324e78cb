#include "bluetooth/ConnectionFeed.h"

#include "settings/SettingsKeys.h"

#include <utility>

namespace ambleguard {

ConnectionFeed::ConnectionFeed(const Clock& clock, MainQueue& mainQueue, SettingsStore& settings,
                               LogSink& logSink, Host& host)
    : clock_(clock), mainQueue_(mainQueue), settings_(settings), log_(logSink, "BT"), host_(host) {}

ConnectionFeed::~ConnectionFeed() = default;

bool ConnectionFeed::passiveOnly() const {
    return settings_.boolForKey(keys::disableConnectedPrimary);
}

bool ConnectionFeed::isFeedPeripheral(const PeripheralRef& peripheral) const {
    return peripheral && peripheral_ && peripheral->identifier() == peripheral_->identifier();
}

// --- Attempts (main queue) ---

void ConnectionFeed::attemptConnection(std::string_view trigger) {
    BleCentral* central = host_.centralManager();
    if (!central || central->state() != BleManagerState::poweredOn) {
        return;
    }
    if (!central->canReadLinkRSSI()) {
        // A link whose RSSI cannot be read feeds nothing; keep to advertisements.
        if (!linkRSSIUnavailableLogged_) {
            linkRSSIUnavailableLogged_ = true;
            log_.info("Connected feed off: this Bluetooth stack cannot read link RSSI");
        }
        return;
    }
    if (host_.currentScanMode() != ScanMode::monitoring && !onboardingCalibrationConnectAllowed_) {
        return;
    }
    if (passiveOnly()) {
        return;
    }
    const TrackedSelection::Snapshot tracked = host_.trackedDevice();
    if (!tracked.identifier || tracked.beaconIdentity) {
        return;
    }
    if (state_ != ConnectionFeedState::disconnected) {
        return;
    }
    const std::vector<PeripheralRef> found = central->retrievePeripherals({*tracked.identifier});
    if (found.empty() || !found.front()) {
        log_.debug("Connect attempt: device not retrievable");
        return;
    }
    const PeripheralRef& target = found.front();
    if (target->state() == PeripheralConnectionState::connected) {
        log_.info("Connect attempt: adopting existing system-level link");
    }
    log_.info("Connect attempt (trigger: {})", trigger);

    state_ = ConnectionFeedState::connecting;
    const std::int64_t generation = ++generation_;
    peripheral_ = target;
    central->connect(target);

    timeoutTimer_ =
        mainQueue_.postAfter(kConnectAttemptTimeout,
                             liveness_.guarded([this, generation] { timeoutCheck(generation); }));
    kickTimer_ = mainQueue_.postAfter(
        kConnectKickDelay, liveness_.guarded([this, generation] { kickCheck(generation); }));
}

void ConnectionFeed::kickCheck(std::int64_t generation) {
    if (generation != generation_ || state_ != ConnectionFeedState::connecting || !peripheral_ ||
        peripheral_->state() == PeripheralConnectionState::connected) {
        return;
    }
    log_.debug("Connect stalled {:.0f}s, kicking stack with readRSSI on disconnected peripheral",
               kConnectKickDelay);
    // An RSSI request on a peripheral that is not connected yet nudges a stalled stack.
    if (BleCentral* central = host_.centralManager()) {
        central->readRSSI(peripheral_);
    }
}

void ConnectionFeed::timeoutCheck(std::int64_t generation) {
    if (generation != generation_ || state_ != ConnectionFeedState::connecting) {
        return;
    }
    log_.debug("Connect attempt timed out ({:.0f}s)", kConnectAttemptTimeout);
    performTearDown("connect timeout", true);
}

// --- Link callbacks (Bluetooth executor, then the main queue) ---

void ConnectionFeed::centralDidConnect(const PeripheralRef& peripheral) {
    log_.info("Connection established");
    mainQueue_.post(liveness_.guarded([this, peripheral] { handleConnected(peripheral); }));
}

void ConnectionFeed::handleConnected(const PeripheralRef& peripheral) {
    if (state_ != ConnectionFeedState::connecting || !isFeedPeripheral(peripheral)) {
        // Not a link this feed asked for (or no longer wants): give it back.
        if (BleCentral* central = host_.centralManager(); central && peripheral) {
            central->cancelPeripheralConnection(peripheral);
        }
        return;
    }
    state_ = ConnectionFeedState::connectedPolling;
    ++generation_;
    kickTimer_.cancel();
    timeoutTimer_.cancel();
    lastSuccessfulLinkRead_ = clock_.now();
    if (BleCentral* central = host_.centralManager()) {
        central->readRSSI(peripheral_);
    }
    connectionPollTimer_ = mainQueue_.scheduleRepeating(kConnectionPollInterval, 0.0,
                                                        liveness_.guarded([this] { pollTick(); }));
    connectionSessionBounded_ = passiveOnly();
    log_.info("Connected feed live (poll {:.0f}s, staleness limit {:.0f}s)",
              kConnectionPollInterval, kReadStalenessLimit);
}

void ConnectionFeed::centralDidFailToConnect(const PeripheralRef& peripheral,
                                             const std::optional<std::string>& error) {
    log_.debug("Failed to connect: {}", error.value_or("Unknown error"));
    mainQueue_.post(liveness_.guarded([this, peripheral] {
        if (isFeedPeripheral(peripheral)) {
            performTearDown("connect failed", true);
        }
    }));
}

void ConnectionFeed::centralDidDisconnect(const PeripheralRef& peripheral,
                                          const std::optional<std::string>& error) {
    log_.debug("Disconnected from peripheral");
    if (error) {
        log_.debug("Disconnect error: {}", *error);
    }
    mainQueue_.post(liveness_.guarded([this, peripheral] {
        if (isFeedPeripheral(peripheral)) {
            performTearDown("disconnected", true);
        }
    }));
}

void ConnectionFeed::peripheralDidReadRSSI(const PeripheralRef& peripheral, int rssi,
                                           const std::optional<std::string>& error) {
    if (error) {
        // Nothing else: if reads keep failing, the staleness limit ends the feed.
        log_.error("Failed to read RSSI on connected link: {}", *error);
        return;
    }
    log_.debug("Connected link RSSI: {} dBm", rssi);
    if (!peripheral || host_.trackedDevice().identifier != peripheral->identifier()) {
        return;
    }
    host_.processLinkRSSI(rssi);
    mainQueue_.post(liveness_.guarded([this, peripheral] {
        if (isFeedPeripheral(peripheral)) {
            lastSuccessfulLinkRead_ = clock_.now();
        }
    }));
}

// --- Polling (main queue) ---

void ConnectionFeed::pollTick() {
    if (state_ != ConnectionFeedState::connectedPolling || !peripheral_) {
        return;
    }
    if (passiveOnly() || connectionSessionBounded_) {
        log_.info("Passive-only mode enabled mid-session, tearing down");
        performTearDown("passive-only mode", false);
        return;
    }
    if (lastSuccessfulLinkRead_ &&
        secondsBetween(*lastSuccessfulLinkRead_, clock_.now()) > kReadStalenessLimit) {
        log_.info("Connected feed stale (no successful read for {:.0f}s), tearing down",
                  kReadStalenessLimit);
        performTearDown("read staleness", true);
        return;
    }
    switch (peripheral_->state()) {
        case PeripheralConnectionState::connected:
            if (BleCentral* central = host_.centralManager()) {
                central->readRSSI(peripheral_);
            }
            return;
        case PeripheralConnectionState::disconnected:
            log_.debug("Connected feed peripheral no longer connected, tearing down");
            performTearDown("link dropped", true);
            return;
        case PeripheralConnectionState::connecting:
        case PeripheralConnectionState::disconnecting:
            return;
    }
}

// --- Teardown ---

void ConnectionFeed::tearDownConnectionFeed(std::string_view reason, bool cooldown) {
    performTearDown(std::string(reason), cooldown);
}

void ConnectionFeed::performTearDown(const std::string& reason, bool cooldown) {
    if (state_ == ConnectionFeedState::disconnected && !peripheral_ &&
        !connectionPollTimer_.isSet()) {
        return;
    }
    log_.debug("Connection feed torn down ({})", reason);
    connectionPollTimer_.cancel();
    kickTimer_.cancel();
    timeoutTimer_.cancel();
    cooldownTimer_.cancel();
    if (peripheral_) {
        // Dropped before the platform reports the disconnection, so that report finds no feed
        // peripheral and does not tear down a second time.
        PeripheralRef dropped = std::exchange(peripheral_, nullptr);
        if (BleCentral* central = host_.centralManager()) {
            central->cancelPeripheralConnection(dropped);
        }
    }
    lastSuccessfulLinkRead_.reset();
    connectionSessionBounded_ = false;
    const std::int64_t generation = ++generation_;
    if (!cooldown) {
        state_ = ConnectionFeedState::disconnected;
        return;
    }
    state_ = ConnectionFeedState::coolingDown;
    cooldownTimer_ =
        mainQueue_.postAfter(kFeedReconnectCooldown, liveness_.guarded([this, generation] {
            if (generation == generation_ && state_ == ConnectionFeedState::coolingDown) {
                state_ = ConnectionFeedState::disconnected;
                ++generation_;
            }
        }));
}

}  // namespace ambleguard
