#pragma once

#include "base/Log.h"
#include "platform/BleCentral.h"
#include "platform/linux/BlueZMessages.h"
#include "platform/linux/BlueZPeripheral.h"
#include "platform/linux/HciLinkReader.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class QDBusServiceWatcher;

namespace ambleguard::linuxdesktop {

// BlueZ as one central sees it, on the thread it lives on: the adapter and devices from the
// object manager, discovery, and the devices' advertisements and connections. Every call and
// every event happens on that thread.
class BlueZClient final : public QObject {
    Q_OBJECT

  public:
    struct Events {
        std::function<void(BleManagerState)> stateChanged;
        std::function<void(const PeripheralRef&, const AdvertisementData&, int)> discovered;
        std::function<void(const PeripheralRef&)> connected;
        std::function<void(const PeripheralRef&, const std::optional<std::string>&)>
            failedToConnect;
        std::function<void(const PeripheralRef&, const std::optional<std::string>&)> disconnected;
        std::function<void(const PeripheralRef&, int, const std::optional<std::string>&)> readRSSI;
        // Whether the links' RSSI can be read on the current adapter, told before the state
        // that follows a change and after a read that found out otherwise.
        std::function<void(bool)> linkRSSIAvailable;
    };

    // Without `hci` no link RSSI is read.
    BlueZClient(QDBusConnection bus, LogSink& logSink, Events events,
                HciChannelOpener* hci = nullptr, QObject* parent = nullptr);
    ~BlueZClient() override;

    // Subscribes and asks for the managed objects; the first state follows their answer.
    void start();

    BleManagerState state() const { return reported_; }
    // Scans while powered on, and again each time the power returns, until stopped.
    void scan();
    void stopScan();
    std::vector<PeripheralRef> peripherals(const std::vector<Uuid>& identifiers) const;
    void connectDevice(const PeripheralRef& peripheral);
    void disconnectDevice(const PeripheralRef& peripheral);
    void readRSSI(const PeripheralRef& peripheral);

    // The identifier of a device: the same on every run for one adapter and one address.
    static Uuid identifierFor(const QString& adapterAddress, const QString& deviceAddress);

  private Q_SLOTS:
    void onInterfacesAdded(const QDBusMessage& message);
    void onInterfacesRemoved(const QDBusMessage& message);
    void onPropertiesChanged(const QDBusMessage& message);
    void onOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

  private:
    struct Device {
        BlueZDeviceProperties properties;
        std::shared_ptr<BlueZPeripheral> peripheral;
    };

    void requestManagedObjects();
    void onManagedObjects(const QDBusMessage& reply, std::uint64_t generation);
    void addInterfaces(const QString& path, const BlueZInterfaces& interfaces, bool advertised);
    void addDevice(const QString& path, const QVariantMap& properties, bool advertised);
    void removeAdapter(const QString& path);
    void refreshPeripheral(const QString& path, Device& device);
    void report(const Device& device);
    void updateState();
    BleManagerState computeState() const;
    std::optional<QString> currentAdapter() const;
    bool belongsToCurrentAdapter(const QString& devicePath) const;
    void startDiscovery();
    Device* deviceFor(const PeripheralRef& peripheral);
    QDBusMessage deviceCall(const QString& path, const QString& method) const;
    void updateLinkRSSIAvailability();

    QDBusConnection bus_;
    Logger log_;
    Events events_;
    QDBusServiceWatcher* watcher_ = nullptr;
    std::unique_ptr<HciLinkReader> linkReader_;
    std::optional<bool> linkRSSIAvailable_;

    std::map<QString, BlueZAdapterProperties> adapters_;
    std::map<QString, Device> devices_;
    // Peripherals handed out, so a device that is removed and seen again keeps its object.
    std::unordered_map<Uuid, std::weak_ptr<BlueZPeripheral>> handedOut_;
    std::set<QString> disconnectsAsked_;
    // Devices connected at this central's request.
    std::set<QString> ours_;
    // Of those, the ones that were connected already: their links are the system's.
    std::set<QString> adopted_;

    std::uint64_t generation_ = 0;
    bool answered_ = false;
    bool bluezPresent_ = false;
    bool resetting_ = false;
    bool unauthorized_ = false;
    bool wantScan_ = false;
    bool discoveryActive_ = false;
    bool loggedMissing_ = false;
    BleManagerState reported_ = BleManagerState::unknown;
};

}  // namespace ambleguard::linuxdesktop
