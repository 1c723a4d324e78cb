#include "bluetooth/BluetoothScanner.h"

namespace ambleguard {

BluetoothScanner::BluetoothScanner(const Dependencies& deps)
    : clock_(deps.clock),
      mainQueue_(deps.mainQueue),
      log_(deps.logSink, "BT"),
      alerts_(deps.clock, deps.settings, deps.notifier, presenceEngine_, deps.readout,
              deps.logSink),
      pipeline_(ReadingPipeline::Dependencies{
          .clock = deps.clock,
          .mainQueue = deps.mainQueue,
          .settings = deps.settings,
          .logSink = deps.logSink,
          .readout = deps.readout,
          .engine = presenceEngine_,
          .scanner = *this,
          .connections = deps.connections,
          .sounds = deps.sounds,
          .screenLock = deps.screenLock,
          .schedule = deps.schedule,
          .awayActions = deps.awayActions,
          .returnActions = deps.returnActions,
          .unlockOnTouch = deps.unlockOnTouch,
          .notifications = alerts_,
      }) {}

BluetoothScanner::~BluetoothScanner() {
    noSignalTimer_.cancel();
}

void BluetoothScanner::startPresenceTimer() {
    noSignalTimer_ = mainQueue_.scheduleRepeating(
        kPresenceTickInterval, 0.0, liveness_.guarded([this] { evaluatePresence(); }));
}

void BluetoothScanner::stopPresenceTimer() {
    noSignalTimer_.cancel();
}

void BluetoothScanner::resetBluetooth() {
    const Instant now = clock_.now();
    if (lastBluetoothResetTime_) {
        const double elapsed = secondsBetween(*lastBluetoothResetTime_, now);
        if (elapsed < kResetCooldownPeriod) {
            log_.debug("Bluetooth reset skipped due to cooldown period ({:.1f}s remaining)",
                       kResetCooldownPeriod - elapsed);
            return;
        }
    }
    log_.debug("Resetting centralManager (enhanced strategy)");
    lastBluetoothResetTime_ = now;
    // No central manager is driven from here yet, so a reset amounts to forgetting the
    // reading state that the stuck stack produced; the next reading starts a fresh filter.
    pipeline_.resetSignalState();
}

void BluetoothScanner::startScanning() {
    // There is no scan of this scanner's own to start yet; readings come from the producers.
}

void BluetoothScanner::handleSessionResignedActive() {
    log_.info("User switched away");
    localScreenNotices_.emit(ReadingPipeline::kScreenLockedNotice);
}

void BluetoothScanner::handleSessionBecameActive() {
    log_.info("User switched back");
    localScreenNotices_.emit(ReadingPipeline::kScreenUnlockedNotice);
}

Connection BluetoothScanner::onLocalScreenNotice(std::function<void(std::string_view)> fn) {
    return localScreenNotices_.connect(std::move(fn));
}

}  // namespace ambleguard
