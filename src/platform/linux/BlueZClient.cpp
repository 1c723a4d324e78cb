#include "platform/linux/BlueZClient.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QUuid>

#include <algorithm>

namespace ambleguard::linuxdesktop {

namespace {

const QString kService = QStringLiteral("org.bluez");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kAdapter = QStringLiteral("org.bluez.Adapter1");
const QString kDevice = QStringLiteral("org.bluez.Device1");

// The namespace of device identifiers (a fixed random UUID: identifiers are UUIDv5 of adapter
// and device address within it).
const QUuid kIdentifierNamespace(QStringLiteral("{bc5d494d-e55e-4f02-afaa-bb10ada29614}"));

std::string text(const QString& value) {
    return value.toStdString();
}

QString parentPath(const QString& path) {
    const auto slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash) : QString();
}

// The kernel's index of an adapter object ("/org/bluez/hci0" is 0).
std::optional<int> adapterIndex(const QString& adapterPath) {
    const QString name = adapterPath.mid(adapterPath.lastIndexOf(QLatin1Char('/')) + 1);
    if (!name.startsWith(QLatin1String("hci"))) {
        return std::nullopt;
    }
    bool ok = false;
    const int index = name.mid(3).toInt(&ok);
    return ok && index >= 0 ? std::optional<int>(index) : std::nullopt;
}

}  // namespace

BlueZClient::BlueZClient(QDBusConnection bus, LogSink& logSink, Events events,
                         HciChannelOpener* hci, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), log_(logSink, "BlueZ"), events_(std::move(events)) {
    if (hci) {
        linkReader_ = std::make_unique<HciLinkReader>(*hci, logSink);
    }
}

BlueZClient::~BlueZClient() {
    // Discovery is per client in BlueZ; end ours rather than leave it to our disconnection.
    if (discoveryActive_) {
        if (auto adapter = currentAdapter()) {
            bus_.call(QDBusMessage::createMethodCall(kService, *adapter, kAdapter,
                                                     QStringLiteral("StopDiscovery")),
                      QDBus::NoBlock);
        }
    }
}

Uuid BlueZClient::identifierFor(const QString& adapterAddress, const QString& deviceAddress) {
    const QUuid uuid =
        QUuid::createUuidV5(kIdentifierNamespace,
                            adapterAddress.toUpper() + QLatin1Char('/') + deviceAddress.toUpper());
    const QByteArray raw = uuid.toRfc4122();
    Uuid::Bytes bytes{};
    std::copy_n(raw.begin(), std::min<qsizetype>(raw.size(), 16), bytes.begin());
    return Uuid(bytes);
}

void BlueZClient::start() {
    if (!bus_.isConnected()) {
        log_.error("No system bus ({}): Bluetooth is unsupported",
                   text(bus_.lastError().message()));
        answered_ = true;
        updateState();
        return;
    }
    bus_.connect(kService, QStringLiteral("/"), kObjectManager, QStringLiteral("InterfacesAdded"),
                 this, SLOT(onInterfacesAdded(QDBusMessage)));
    bus_.connect(kService, QStringLiteral("/"), kObjectManager, QStringLiteral("InterfacesRemoved"),
                 this, SLOT(onInterfacesRemoved(QDBusMessage)));
    bus_.connect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"), this,
                 SLOT(onPropertiesChanged(QDBusMessage)));
    watcher_ =
        new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &BlueZClient::onOwnerChanged);
    requestManagedObjects();
}

void BlueZClient::requestManagedObjects() {
    const auto generation = ++generation_;
    const auto call = QDBusMessage::createMethodCall(kService, QStringLiteral("/"), kObjectManager,
                                                     QStringLiteral("GetManagedObjects"));
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                onManagedObjects(finished->reply(), generation);
            });
}

void BlueZClient::onManagedObjects(const QDBusMessage& reply, std::uint64_t generation) {
    if (generation != generation_) {
        return;  // an answer overtaken by a newer question
    }
    answered_ = true;
    resetting_ = false;
    discoveryActive_ = false;
    adapters_.clear();
    devices_.clear();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        bluezPresent_ = false;
        unauthorized_ =
            reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.AccessDenied");
        if (unauthorized_) {
            log_.error("BlueZ refused this program: {}", text(reply.errorMessage()));
        } else if (!loggedMissing_) {
            loggedMissing_ = true;
            log_.error("BlueZ (org.bluez) does not answer on the system bus: {} ({})",
                       text(reply.errorMessage()), text(reply.errorName()));
        }
        updateState();
        return;
    }
    unauthorized_ = false;
    const auto objects = readManagedObjects(reply);
    if (!objects) {
        bluezPresent_ = false;
        log_.error("BlueZ answered GetManagedObjects with an unexpected signature '{}'",
                   text(reply.signature()));
        updateState();
        return;
    }
    bluezPresent_ = true;
    // Adapters first, so every device finds its adapter's address for its identifier.
    for (const auto& [path, interfaces] : *objects) {
        if (auto it = interfaces.find(kAdapter); it != interfaces.end()) {
            adapters_[path].apply(it->second);
        }
    }
    for (const auto& [path, interfaces] : *objects) {
        // A device in the cache carries the RSSI of some earlier advertisement: not a reading.
        if (auto it = interfaces.find(kDevice); it != interfaces.end()) {
            addDevice(path, it->second, false);
        }
    }
    if (adapters_.empty()) {
        log_.notice("BlueZ has no Bluetooth adapter");
    }
    updateState();
}

void BlueZClient::onInterfacesAdded(const QDBusMessage& message) {
    const auto added = readInterfacesAdded(message);
    if (!added || !answered_) {
        return;  // before the first answer, that answer holds everything
    }
    if (auto it = added->interfaces.find(kAdapter); it != added->interfaces.end()) {
        adapters_[added->path].apply(it->second);
        log_.info("Bluetooth adapter added: {}", text(added->path));
        updateState();
    }
    if (auto it = added->interfaces.find(kDevice); it != added->interfaces.end()) {
        addDevice(added->path, it->second, true);
    }
}

void BlueZClient::onInterfacesRemoved(const QDBusMessage& message) {
    const auto removed = readInterfacesRemoved(message);
    if (!removed || !answered_) {
        return;
    }
    if (removed->interfaces.contains(kDevice)) {
        auto it = devices_.find(removed->path);
        if (it != devices_.end()) {
            auto peripheral = it->second.peripheral;
            devices_.erase(it);
            adopted_.erase(removed->path);
            if (peripheral && ours_.erase(removed->path) > 0) {
                peripheral->setState(PeripheralConnectionState::disconnected);
                events_.disconnected(peripheral, std::string("The device was removed"));
            }
        }
    }
    if (removed->interfaces.contains(kAdapter)) {
        removeAdapter(removed->path);
    }
}

void BlueZClient::removeAdapter(const QString& path) {
    if (adapters_.erase(path) == 0) {
        return;
    }
    log_.info("Bluetooth adapter removed: {}", text(path));
    const QString prefix = path + QLatin1Char('/');
    for (auto it = devices_.begin(); it != devices_.end();) {
        it = it->first.startsWith(prefix) ? devices_.erase(it) : std::next(it);
    }
    discoveryActive_ = false;
    updateState();
}

void BlueZClient::onPropertiesChanged(const QDBusMessage& message) {
    const auto change = readPropertiesChanged(message);
    if (!change || !answered_) {
        return;
    }
    const QString path = message.path();
    if (change->interface == kAdapter) {
        auto it = adapters_.find(path);
        if (it == adapters_.end()) {
            return;
        }
        it->second.apply(change->changed);
        updateState();
        return;
    }
    if (change->interface != kDevice) {
        return;
    }
    auto it = devices_.find(path);
    if (it == devices_.end()) {
        return;  // every device is announced by InterfacesAdded first
    }
    Device& device = it->second;
    const bool wasConnected = device.properties.connected.value_or(false);
    device.properties.invalidate(change->invalidated);
    const bool advertised = device.properties.apply(change->changed);
    refreshPeripheral(path, device);
    const bool isConnected = device.properties.connected.value_or(false);
    if (device.peripheral && wasConnected != isConnected) {
        if (isConnected) {
            // A link another program made is no connection of ours to report, but the
            // peripheral shows it, so a connect adopts it.
            const bool asked = device.peripheral->state() == PeripheralConnectionState::connecting;
            device.peripheral->setState(PeripheralConnectionState::connected);
            if (asked) {
                ours_.insert(path);
                events_.connected(device.peripheral);
            }
        } else {
            const bool asked = disconnectsAsked_.erase(path) > 0;
            adopted_.erase(path);
            device.peripheral->setState(PeripheralConnectionState::disconnected);
            if (ours_.erase(path) > 0) {
                events_.disconnected(
                    device.peripheral,
                    asked ? std::nullopt : std::optional<std::string>("The connection was lost"));
            }
        }
    }
    if (advertised) {
        report(device);
    }
}

void BlueZClient::onOwnerChanged(const QString& /*name*/, const QString& oldOwner,
                                 const QString& newOwner) {
    log_.notice("BlueZ owner changed ('{}' -> '{}'): reading its objects again", text(oldOwner),
                text(newOwner));
    // Whatever we had belongs to the old bluetoothd; the new one has no discovery of ours.
    discoveryActive_ = false;
    if (answered_) {
        resetting_ = true;
        updateState();
    }
    requestManagedObjects();
}

void BlueZClient::addDevice(const QString& path, const QVariantMap& properties, bool advertised) {
    Device& device = devices_[path];
    const bool sawRssi = device.properties.apply(properties);
    refreshPeripheral(path, device);
    if (device.peripheral && device.properties.connected.value_or(false) &&
        device.peripheral->state() == PeripheralConnectionState::disconnected) {
        device.peripheral->setState(PeripheralConnectionState::connected);  // the system's link
    }
    if (advertised && sawRssi) {
        report(device);
    }
}

void BlueZClient::refreshPeripheral(const QString& path, Device& device) {
    const auto& properties = device.properties;
    if (!device.peripheral) {
        if (!properties.address) {
            return;
        }
        const QString adapterPath = properties.adapterPath.value_or(QString());
        const auto adapter = adapters_.find(adapterPath);
        const QString adapterKey = adapter != adapters_.end() && adapter->second.address
                                       ? *adapter->second.address
                                       : adapterPath;
        const Uuid identifier = identifierFor(adapterKey, *properties.address);
        auto& handed = handedOut_[identifier];
        device.peripheral = handed.lock();
        if (!device.peripheral) {
            device.peripheral = std::make_shared<BlueZPeripheral>(identifier, path);
            handed = device.peripheral;
        }
    }
    auto& peripheral = *device.peripheral;
    peripheral.setName(properties.name ? std::optional<std::string>(text(*properties.name))
                                       : std::nullopt);
    peripheral.setPaired(properties.paired.value_or(false) || properties.bonded.value_or(false));
    peripheral.setRandomAddress(properties.addressType.value_or(QString()) ==
                                QLatin1String("random"));
}

void BlueZClient::report(const Device& device) {
    if (!wantScan_ || reported_ != BleManagerState::poweredOn || !device.peripheral ||
        !device.properties.rssi || !belongsToCurrentAdapter(device.peripheral->path())) {
        return;
    }
    const auto& properties = device.properties;
    AdvertisementData advertisement;
    if (properties.manufacturerData) {
        advertisement.manufacturerData = properties.manufacturerData;
        advertisement.keys.emplace_back(advertisementKeys::manufacturerData);
    }
    if (properties.serviceUUIDs && !properties.serviceUUIDs->empty()) {
        advertisement.serviceUUIDs = properties.serviceUUIDs;
        advertisement.keys.emplace_back(advertisementKeys::serviceUUIDs);
    }
    if (properties.name) {
        advertisement.keys.emplace_back(advertisementKeys::localName);
    }
    if (properties.txPower) {
        advertisement.keys.emplace_back(advertisementKeys::txPowerLevel);
    }
    if (properties.hasServiceData.value_or(false)) {
        advertisement.keys.emplace_back(advertisementKeys::serviceData);
    }
    events_.discovered(device.peripheral, advertisement, *properties.rssi);
}

std::optional<QString> BlueZClient::currentAdapter() const {
    // The first adapter by path (hci0 before hci1), as BlueZ's own tools choose.
    if (adapters_.empty()) {
        return std::nullopt;
    }
    return adapters_.begin()->first;
}

bool BlueZClient::belongsToCurrentAdapter(const QString& devicePath) const {
    const auto adapter = currentAdapter();
    return adapter && parentPath(devicePath) == *adapter;
}

BleManagerState BlueZClient::computeState() const {
    if (!answered_) {
        return BleManagerState::unknown;
    }
    if (resetting_) {
        return BleManagerState::resetting;
    }
    if (unauthorized_) {
        return BleManagerState::unauthorized;
    }
    const auto adapterPath = currentAdapter();
    if (!bluezPresent_ || !adapterPath) {
        return BleManagerState::unsupported;
    }
    const auto& adapter = adapters_.at(*adapterPath);
    const QString powerState = adapter.powerState.value_or(QString());
    if (powerState == QLatin1String("off-enabling") ||
        powerState == QLatin1String("on-disabling")) {
        return BleManagerState::resetting;
    }
    return adapter.powered.value_or(false) ? BleManagerState::poweredOn
                                           : BleManagerState::poweredOff;
}

void BlueZClient::updateState() {
    const auto state = computeState();
    if (state == reported_) {
        return;
    }
    reported_ = state;
    if (state != BleManagerState::poweredOn) {
        // BlueZ ends discovery when the adapter powers off or goes away.
        discoveryActive_ = false;
    }
    log_.info("Bluetooth state: {}", rawValue(state));
    if (state == BleManagerState::poweredOn) {
        updateLinkRSSIAvailability();
    }
    events_.stateChanged(state);
    if (state == BleManagerState::poweredOn && wantScan_ && !discoveryActive_) {
        startDiscovery();
    }
}

void BlueZClient::scan() {
    if (reported_ != BleManagerState::poweredOn) {
        log_.debug("Scan request ignored: Bluetooth is not powered on");
        return;
    }
    wantScan_ = true;
    if (!discoveryActive_) {
        startDiscovery();
    }
}

void BlueZClient::stopScan() {
    wantScan_ = false;
    if (!discoveryActive_) {
        return;
    }
    discoveryActive_ = false;
    if (auto adapter = currentAdapter()) {
        bus_.asyncCall(QDBusMessage::createMethodCall(kService, *adapter, kAdapter,
                                                      QStringLiteral("StopDiscovery")));
    }
}

void BlueZClient::startDiscovery() {
    const auto adapter = currentAdapter();
    if (!adapter) {
        return;
    }
    discoveryActive_ = true;
    // Without a filter BlueZ reports RSSI only when it moves by 8 dB or more; with one, every
    // advertisement, repeats included.
    auto filter = QDBusMessage::createMethodCall(kService, *adapter, kAdapter,
                                                 QStringLiteral("SetDiscoveryFilter"));
    filter.setArguments({QVariantMap{{QStringLiteral("Transport"), QStringLiteral("le")},
                                     {QStringLiteral("DuplicateData"), true}}});
    bus_.asyncCall(filter);
    log_.info(
        "Calling SetDiscoveryFilter(Transport=le, DuplicateData=true) and StartDiscovery on {}",
        text(*adapter));
    const auto start = QDBusMessage::createMethodCall(kService, *adapter, kAdapter,
                                                      QStringLiteral("StartDiscovery"));
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(start), this);
    const auto generation = generation_;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusMessage reply = finished->reply();
                if (reply.type() != QDBusMessage::ErrorMessage) {
                    return;
                }
                log_.error("StartDiscovery failed: {} ({})", text(reply.errorMessage()),
                           text(reply.errorName()));
                if (generation == generation_) {
                    discoveryActive_ = false;
                }
            });
}

std::vector<PeripheralRef> BlueZClient::peripherals(const std::vector<Uuid>& identifiers) const {
    std::vector<PeripheralRef> found;
    for (const auto& [path, device] : devices_) {
        if (device.peripheral && std::find(identifiers.begin(), identifiers.end(),
                                           device.peripheral->identifier()) != identifiers.end()) {
            found.push_back(device.peripheral);
        }
    }
    return found;
}

BlueZClient::Device* BlueZClient::deviceFor(const PeripheralRef& peripheral) {
    if (!peripheral) {
        return nullptr;
    }
    for (auto& [path, device] : devices_) {
        if (device.peripheral && device.peripheral->identifier() == peripheral->identifier()) {
            return &device;
        }
    }
    return nullptr;
}

QDBusMessage BlueZClient::deviceCall(const QString& path, const QString& method) const {
    return QDBusMessage::createMethodCall(kService, path, kDevice, method);
}

void BlueZClient::connectDevice(const PeripheralRef& peripheral) {
    Device* device = deviceFor(peripheral);
    if (!device) {
        events_.failedToConnect(peripheral, std::string("The device is not known to BlueZ"));
        return;
    }
    auto target = device->peripheral;
    if (target->state() == PeripheralConnectionState::connected ||
        device->properties.connected.value_or(false)) {
        target->setState(PeripheralConnectionState::connected);
        // The system's link (audio, a paired phone's services): used, never ours to end.
        ours_.insert(target->path());
        adopted_.insert(target->path());
        events_.connected(target);
        return;
    }
    target->setState(PeripheralConnectionState::connecting);
    log_.info("Calling Device1.Connect on {}", text(target->path()));
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(deviceCall(target->path(), QStringLiteral("Connect")), 60000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, target](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusMessage reply = finished->reply();
                const bool already =
                    reply.errorName() == QLatin1String("org.bluez.Error.AlreadyConnected");
                if (reply.type() == QDBusMessage::ErrorMessage && already &&
                    target->state() == PeripheralConnectionState::connecting) {
                    // Linked by the system in the meantime: adopt its link.
                    target->setState(PeripheralConnectionState::connected);
                    ours_.insert(target->path());
                    adopted_.insert(target->path());
                    events_.connected(target);
                    return;
                }
                if (reply.type() == QDBusMessage::ErrorMessage) {
                    if (target->state() == PeripheralConnectionState::connecting) {
                        target->setState(PeripheralConnectionState::disconnected);
                        events_.failedToConnect(target, text(reply.errorMessage()));
                    }
                    return;
                }
                if (target->state() == PeripheralConnectionState::connecting) {
                    target->setState(PeripheralConnectionState::connected);
                    ours_.insert(target->path());
                    events_.connected(target);
                }
            });
}

void BlueZClient::disconnectDevice(const PeripheralRef& peripheral) {
    Device* device = deviceFor(peripheral);
    if (!device) {
        return;
    }
    auto target = device->peripheral;
    const auto state = target->state();
    if (state == PeripheralConnectionState::disconnected) {
        return;
    }
    if (adopted_.erase(target->path()) > 0) {
        // Device1.Disconnect would end the link for every program and profile; only our use
        // of it ends.
        log_.info("Leaving the system's link to {} up", text(target->path()));
        ours_.erase(target->path());
        events_.disconnected(target, std::nullopt);
        return;
    }
    log_.info("Calling Device1.Disconnect on {}", text(target->path()));
    bus_.asyncCall(deviceCall(target->path(), QStringLiteral("Disconnect")));
    if (state == PeripheralConnectionState::connecting) {
        // A pending attempt ends here; its late answer is ignored.
        target->setState(PeripheralConnectionState::disconnected);
        ours_.erase(target->path());
        events_.disconnected(target, std::nullopt);
        return;
    }
    target->setState(PeripheralConnectionState::disconnecting);
    disconnectsAsked_.insert(target->path());
}

void BlueZClient::updateLinkRSSIAvailability() {
    const auto adapter = currentAdapter();
    const auto index = adapter ? adapterIndex(*adapter) : std::nullopt;
    const bool available = linkReader_ && index && linkReader_->usable(*index);
    if (linkRSSIAvailable_ != available) {
        linkRSSIAvailable_ = available;
        if (events_.linkRSSIAvailable) {
            events_.linkRSSIAvailable(available);
        }
    }
}

void BlueZClient::readRSSI(const PeripheralRef& peripheral) {
    Device* device = deviceFor(peripheral);
    if (!device) {
        events_.readRSSI(peripheral, 0, std::string("The device is not known to BlueZ"));
        return;
    }
    auto target = device->peripheral;
    const auto index = adapterIndex(device->properties.adapterPath.value_or(QString()));
    if (!linkReader_ || !index || !device->properties.address) {
        // BlueZ's D-Bus interface carries RSSI only from advertisements, never of a link.
        events_.readRSSI(target, 0, std::string("Link RSSI is not available on this system"));
        return;
    }
    if (target->state() != PeripheralConnectionState::connected) {
        // Nothing to read, and nothing to nudge: BlueZ goes on with a pending connection.
        events_.readRSSI(target, 0, std::string("The device is not connected"));
        return;
    }
    linkReader_->readRssi(*index, text(*device->properties.address),
                          [this, target](int rssi, const std::optional<std::string>& error) {
                              events_.readRSSI(target, rssi, error);
                              if (error) {
                                  updateLinkRSSIAvailability();
                              }
                          });
}

}  // namespace ambleguard::linuxdesktop
