#include "platform/linux/BlueZCentral.h"

#include "platform/linux/BlueZClient.h"

namespace ambleguard::linuxdesktop {

BlueZCentral::BlueZCentral(QtWorkerThread& thread, QDBusConnection bus, LogSink& logSink,
                           BleCentralDelegate& delegate, Executor& callbackExecutor,
                           HciChannelOpener* hci,
                           std::function<void(BleManagerState)> stateObserver)
    : thread_(thread), delegate_(delegate), callbackExecutor_(callbackExecutor) {
    BlueZClient::Events events;
    events.stateChanged = [this, stateObserver = std::move(stateObserver)](BleManagerState state) {
        state_ = state;
        if (stateObserver) {
            stateObserver(state);
        }
        deliver([state](BleCentralDelegate& d) { d.centralDidUpdateState(state); });
    };
    events.discovered = [this](const PeripheralRef& peripheral,
                               const AdvertisementData& advertisement, int rssi) {
        deliver([peripheral, advertisement, rssi](BleCentralDelegate& d) {
            d.centralDidDiscover(peripheral, advertisement, rssi);
        });
    };
    events.connected = [this](const PeripheralRef& peripheral) {
        deliver([peripheral](BleCentralDelegate& d) { d.centralDidConnect(peripheral); });
    };
    events.failedToConnect = [this](const PeripheralRef& peripheral,
                                    const std::optional<std::string>& error) {
        deliver([peripheral, error](BleCentralDelegate& d) {
            d.centralDidFailToConnect(peripheral, error);
        });
    };
    events.disconnected = [this](const PeripheralRef& peripheral,
                                 const std::optional<std::string>& error) {
        deliver([peripheral, error](BleCentralDelegate& d) {
            d.centralDidDisconnect(peripheral, error);
        });
    };
    events.readRSSI = [this](const PeripheralRef& peripheral, int rssi,
                             const std::optional<std::string>& error) {
        deliver([peripheral, rssi, error](BleCentralDelegate& d) {
            d.peripheralDidReadRSSI(peripheral, rssi, error);
        });
    };
    events.linkRSSIAvailable = [this](bool available) { linkRSSI_ = available; };
    thread_.runSync([&] {
        // Parented to the thread's context, so a thread stopped first still deletes it there.
        client_ =
            new BlueZClient(std::move(bus), logSink, std::move(events), hci, thread_.context());
        client_->start();
    });
}

BlueZCentral::~BlueZCentral() {
    {
        std::lock_guard lock(delivery_->mutex);
        delivery_->alive = false;
    }
    thread_.runSync([this] { delete client_.data(); });
}

void BlueZCentral::deliver(std::function<void(BleCentralDelegate&)> callback) {
    callbackExecutor_.post(
        [delivery = delivery_, &delegate = delegate_, callback = std::move(callback)] {
            // Held while the callback runs, so the destructor (on another thread) waits for it.
            std::lock_guard lock(delivery->mutex);
            if (delivery->alive) {
                callback(delegate);
            }
        });
}

void BlueZCentral::onClient(std::function<void(BlueZClient&)> work) {
    thread_.post([client = client_, work = std::move(work)] {
        if (client) {
            work(*client);
        }
    });
}

void BlueZCentral::scanForPeripherals(bool /*allowDuplicates*/) {
    // The discovery filter always asks for every advertisement: it is the only way BlueZ
    // reports each RSSI, and repeats cost nothing here.
    onClient([](BlueZClient& client) { client.scan(); });
}

void BlueZCentral::stopScan() {
    onClient([](BlueZClient& client) { client.stopScan(); });
}

std::vector<PeripheralRef> BlueZCentral::retrievePeripherals(const std::vector<Uuid>& identifiers) {
    std::vector<PeripheralRef> found;
    thread_.runSync([&] {
        if (client_) {
            found = client_->peripherals(identifiers);
        }
    });
    return found;
}

void BlueZCentral::connect(const PeripheralRef& peripheral) {
    onClient([peripheral](BlueZClient& client) { client.connectDevice(peripheral); });
}

void BlueZCentral::cancelPeripheralConnection(const PeripheralRef& peripheral) {
    onClient([peripheral](BlueZClient& client) { client.disconnectDevice(peripheral); });
}

void BlueZCentral::readRSSI(const PeripheralRef& peripheral) {
    onClient([peripheral](BlueZClient& client) { client.readRSSI(peripheral); });
}

BlueZCentralPort::BlueZCentralPort(QtWorkerThread& thread, QDBusConnection bus, LogSink& logSink,
                                   HciChannelOpener* hci)
    : thread_(thread), bus_(std::move(bus)), logSink_(logSink), hci_(hci) {}

std::unique_ptr<BleCentral> BlueZCentralPort::createCentral(BleCentralDelegate& delegate,
                                                            Executor& callbackExecutor,
                                                            const BleCentralOptions& /*options*/) {
    // Neither a power alert nor state restoration exists here: BlueZ ends a client's discovery
    // when the client goes, and nothing relaunches a program with its central.
    return std::make_unique<BlueZCentral>(thread_, bus_, logSink_, delegate, callbackExecutor, hci_,
                                          [cell = authorizationCell_](BleManagerState state) {
                                              if (state == BleManagerState::unauthorized) {
                                                  cell->store(BleAuthorization::denied);
                                              } else if (state != BleManagerState::unknown) {
                                                  cell->store(BleAuthorization::allowedAlways);
                                              }
                                          });
}

}  // namespace ambleguard::linuxdesktop
