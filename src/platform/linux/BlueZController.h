#pragma once

#include "base/Log.h"
#include "platform/BluetoothController.h"
#include "platform/linux/BlueZMessages.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QDBusServiceWatcher;

namespace ambleguard::linuxdesktop {

// The Bluetooth controller as BlueZ and the kernel describe it, for diagnostics only.
//
// Linux has no controller service with general-interest messages; the nearest events are
// BlueZ's: an adapter appearing (resumed) or going (terminated), its power changing (busy state
// changed), bluetoothd leaving the bus (was closed), and logind's sleep and wake (suspended,
// resumed). The properties are the first adapter's (the one the central uses): "BT Power
// State" is Adapter1.Powered (1 or 0), and "TransportInfo" holds its address, name, class,
// modalias, power state, roles and discovery flags with the bus and driver the kernel names.
// Each Bluetooth rfkill switch gives one more entry: "RadioState" 1 when the radio may
// transmit and 0 when the switch blocks it, and a hardware block as an "ErrorStates" text.
// Link quality and an RSSI threshold do not exist here.
//
// Lives on the thread that creates it (the main thread), where BlueZ's signals arrive.
class BlueZController final : public QObject, public BluetoothController {
    Q_OBJECT

  public:
    // `sysClass` is the kernel's device class folder, /sys/class (tests give their own).
    BlueZController(QDBusConnection bus, LogSink& logSink,
                    std::filesystem::path sysClass = "/sys/class", QObject* parent = nullptr);
    ~BlueZController() override;

    Result<Connection, ControllerWatchError> watch(
        Executor& queue, std::function<void(ControllerEvent)> onEvent) override;
    ControllerReading readProperties() const override;

  private Q_SLOTS:
    void onInterfacesAdded(const QDBusMessage& message);
    void onInterfacesRemoved(const QDBusMessage& message);
    void onPropertiesChanged(const QDBusMessage& message);
    void onPrepareForSleep(const QDBusMessage& message);
    void onOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

  private:
    struct Watcher {
        Executor* queue = nullptr;
        std::function<void(ControllerEvent)> onEvent;
        std::mutex mutex;
        bool active = true;
    };

    bool subscribe();
    // Takes BlueZ's objects; true when an adapter was added that was not known before.
    bool takeManagedObjects(const QDBusMessage& reply);
    void notify(ControllerEventKind kind);
    std::optional<ControllerEntry> adapterEntry() const;
    std::vector<ControllerEntry> radioEntries() const;

    QDBusConnection bus_;
    Logger log_;
    const std::filesystem::path sysClass_;
    QDBusServiceWatcher* ownerWatcher_ = nullptr;
    bool subscribed_ = false;
    std::vector<std::weak_ptr<Watcher>> watchers_;

    mutable std::mutex mutex_;
    // Adapter1 properties by object path, as BlueZ last told them.
    std::map<QString, QVariantMap> adapters_;
};

}  // namespace ambleguard::linuxdesktop
