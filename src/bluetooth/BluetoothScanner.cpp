#include "bluetooth/BluetoothScanner.h"

#include "platform/ScreenSession.h"

namespace ambleguard {

BluetoothScanner::BluetoothScanner(const Dependencies& deps)
    : log_(deps.logSink, "BT"),
      pipeline_(ReadingPipeline::Dependencies{
          .clock = deps.clock,
          .mainQueue = deps.mainQueue,
          .settings = deps.settings,
          .logSink = deps.logSink,
          .readout = deps.readout,
          .engine = presenceEngine_,
          .presence = deps.presence,
      }),
      discovery_(deps.clock, deps.mainQueue, deps.peripheralQueue, deps.settings, deps.logSink,
                 pipeline_, deps.connections, pipeline_),
      lifecycle_(CentralLifecycle::Dependencies{
          .clock = deps.clock,
          .mainQueue = deps.mainQueue,
          .bluetoothQueue = deps.bluetoothQueue,
          .bluetooth = deps.bluetooth,
          .delegate = *this,
          .settings = deps.settings,
          .logSink = deps.logSink,
          .pipeline = pipeline_,
          .discovery = discovery_,
          .connections = deps.connections,
      }) {}

BluetoothScanner::~BluetoothScanner() = default;

void BluetoothScanner::handleSessionResignedActive() {
    log_.info("User switched away");
    localScreenNotices_.emit(kScreenLockedNotice);
}

void BluetoothScanner::handleSessionBecameActive() {
    log_.info("User switched back");
    localScreenNotices_.emit(kScreenUnlockedNotice);
}

Connection BluetoothScanner::onLocalScreenNotice(std::function<void(std::string_view)> fn) {
    return localScreenNotices_.connect(std::move(fn));
}

// --- Central callbacks (Bluetooth executor) ---

void BluetoothScanner::centralDidUpdateState(BleManagerState state) {
    lifecycle_.centralDidUpdateState(state);
}

void BluetoothScanner::centralWillRestoreState(const BleRestoredState& restored) {
    lifecycle_.restoreCentralState(restored);
}

void BluetoothScanner::centralDidDiscover(const PeripheralRef& peripheral,
                                          const AdvertisementData& advertisement, int rssi) {
    discovery_.handleDiscovery(peripheral, advertisement, rssi);
}

// Links are the connection feed's business; until the program has one, nothing here opens a
// link, so these only arrive for links the platform kept on its own.
void BluetoothScanner::centralDidConnect(const PeripheralRef&) {}
void BluetoothScanner::centralDidFailToConnect(const PeripheralRef&,
                                               const std::optional<std::string>&) {}
void BluetoothScanner::centralDidDisconnect(const PeripheralRef&,
                                            const std::optional<std::string>&) {}
void BluetoothScanner::peripheralDidReadRSSI(const PeripheralRef&, int,
                                             const std::optional<std::string>&) {}

}  // namespace ambleguard
