#include "platform/linux/BlueZController.h"

#include "platform/linux/DBusCalls.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace ambleguard::linuxdesktop {

namespace {

const QString kService = QStringLiteral("org.bluez");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kAdapter = QStringLiteral("org.bluez.Adapter1");
const QString kLogin = QStringLiteral("org.freedesktop.login1");

// The first line of a small kernel file, without its line end; nothing when unreadable.
std::optional<std::string> firstLine(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return std::nullopt;
    }
    return line;
}

std::string valueText(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool() ? "true" : "false";
        case QMetaType::UInt:
            // The class of device reads best as the hexadecimal it is documented in.
            return fmt::format("0x{:06X}", value.toUInt());
        case QMetaType::QStringList:
            return value.toStringList().join(QLatin1Char(',')).toStdString();
        default:
            return value.toString().toStdString();
    }
}

}  // namespace

BlueZController::BlueZController(QDBusConnection bus, LogSink& logSink,
                                 std::filesystem::path sysClass, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      log_(logSink, "BluetoothIO"),
      sysClass_(std::move(sysClass)) {}

BlueZController::~BlueZController() = default;

Result<Connection, ControllerWatchError> BlueZController::watch(
    Executor& queue, std::function<void(ControllerEvent)> onEvent) {
    if (!bus_.isConnected()) {
        log_.notice("No system bus ({}): the Bluetooth controller is not watched",
                    bus_.lastError().message().toStdString());
        return failure(ControllerWatchError{ControllerWatchError::Step::noEventSource, 0});
    }
    if (!subscribed_) {
        if (!subscribe()) {
            return failure(ControllerWatchError{ControllerWatchError::Step::subscriptionFailed,
                                                static_cast<int>(bus_.lastError().type())});
        }
        subscribed_ = true;
    }
    const auto reply = callAndWait(
        bus_, QDBusMessage::createMethodCall(kService, QStringLiteral("/"), kObjectManager,
                                             QStringLiteral("GetManagedObjects")));
    if (reply.type() == QDBusMessage::ErrorMessage) {
        log_.notice("BlueZ does not answer for the controller: {}", errorText(reply).toStdString());
        return failure(ControllerWatchError{ControllerWatchError::Step::noController, 0});
    }
    takeManagedObjects(reply);
    auto watcher = std::make_shared<Watcher>();
    watcher->queue = &queue;
    watcher->onEvent = std::move(onEvent);
    watchers_.push_back(watcher);
    return Connection([watcher] {
        std::lock_guard lock(watcher->mutex);
        watcher->active = false;
    });
}

bool BlueZController::subscribe() {
    bool ok = bus_.connect(kService, QStringLiteral("/"), kObjectManager,
                           QStringLiteral("InterfacesAdded"), this,
                           SLOT(onInterfacesAdded(QDBusMessage)));
    ok = ok && bus_.connect(kService, QStringLiteral("/"), kObjectManager,
                            QStringLiteral("InterfacesRemoved"), this,
                            SLOT(onInterfacesRemoved(QDBusMessage)));
    ok = ok && bus_.connect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"),
                            this, SLOT(onPropertiesChanged(QDBusMessage)));
    // Sleep and wake reach the controller too; without logind there are none to hear.
    bus_.connect(kLogin, QStringLiteral("/org/freedesktop/login1"),
                 QStringLiteral("org.freedesktop.login1.Manager"),
                 QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(QDBusMessage)));
    if (ok) {
        ownerWatcher_ =
            new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(ownerWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
                &BlueZController::onOwnerChanged);
    }
    return ok;
}

bool BlueZController::takeManagedObjects(const QDBusMessage& reply) {
    const auto objects = readManagedObjects(reply);
    if (!objects) {
        return false;
    }
    bool added = false;
    std::lock_guard lock(mutex_);
    for (const auto& [path, interfaces] : *objects) {
        if (auto it = interfaces.find(kAdapter); it != interfaces.end()) {
            added = !adapters_.contains(path) || added;
            adapters_[path] = it->second;
        }
    }
    return added;
}

void BlueZController::notify(ControllerEventKind kind) {
    const ControllerEvent event{kind, 0};
    std::erase_if(watchers_, [](const auto& weak) { return weak.expired(); });
    for (const auto& weak : watchers_) {
        auto watcher = weak.lock();
        if (!watcher) {
            continue;
        }
        watcher->queue->post([watcher, event] {
            std::lock_guard lock(watcher->mutex);
            if (watcher->active) {
                watcher->onEvent(event);
            }
        });
    }
}

void BlueZController::onInterfacesAdded(const QDBusMessage& message) {
    const auto added = readInterfacesAdded(message);
    if (!added) {
        return;
    }
    const auto it = added->interfaces.find(kAdapter);
    if (it == added->interfaces.end()) {
        return;
    }
    bool isNew = false;
    {
        std::lock_guard lock(mutex_);
        isNew = !adapters_.contains(added->path);
        adapters_[added->path] = it->second;
    }
    if (isNew) {
        notify(ControllerEventKind::resumed);
    }
}

void BlueZController::onInterfacesRemoved(const QDBusMessage& message) {
    const auto removed = readInterfacesRemoved(message);
    if (!removed || !removed->interfaces.contains(kAdapter)) {
        return;
    }
    bool known = false;
    {
        std::lock_guard lock(mutex_);
        known = adapters_.erase(removed->path) > 0;
    }
    if (known) {
        notify(ControllerEventKind::terminated);
    }
}

void BlueZController::onPropertiesChanged(const QDBusMessage& message) {
    const auto change = readPropertiesChanged(message);
    if (!change || change->interface != kAdapter) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        auto it = adapters_.find(message.path());
        if (it == adapters_.end()) {
            return;
        }
        for (const auto& name : change->invalidated) {
            it->second.remove(name);
        }
        for (auto property = change->changed.begin(); property != change->changed.end();
             ++property) {
            it->second.insert(property.key(), property.value());
        }
    }
    // Discovery comes and goes with every scan; only power is an event of the controller's.
    if (change->changed.contains(QStringLiteral("Powered")) ||
        change->changed.contains(QStringLiteral("PowerState"))) {
        notify(ControllerEventKind::busyStateChanged);
    }
}

void BlueZController::onPrepareForSleep(const QDBusMessage& message) {
    const auto arguments = message.arguments();
    if (message.signature() != QLatin1String("b") || arguments.size() != 1) {
        return;
    }
    notify(arguments.front().toBool() ? ControllerEventKind::suspended
                                      : ControllerEventKind::resumed);
}

void BlueZController::onOwnerChanged(const QString& /*name*/, const QString& /*oldOwner*/,
                                     const QString& newOwner) {
    if (newOwner.isEmpty()) {
        {
            std::lock_guard lock(mutex_);
            adapters_.clear();
        }
        log_.notice("BlueZ left the system bus");
        notify(ControllerEventKind::wasClosed);
        return;
    }
    // A new bluetoothd: its adapters may be announced before our signal match follows it, so
    // ask for them; whichever comes first reports the adapter's return.
    const auto call = QDBusMessage::createMethodCall(kService, QStringLiteral("/"), kObjectManager,
                                                     QStringLiteral("GetManagedObjects"));
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (takeManagedObjects(finished->reply())) {
                    notify(ControllerEventKind::resumed);
                }
            });
}

ControllerReading BlueZController::readProperties() const {
    ControllerReading reading;
    if (auto adapter = adapterEntry()) {
        reading.entries.push_back(std::move(*adapter));
    }
    for (auto& radio : radioEntries()) {
        reading.entries.push_back(std::move(radio));
    }
    return reading;
}

std::optional<ControllerEntry> BlueZController::adapterEntry() const {
    QString path;
    QVariantMap properties;
    {
        std::lock_guard lock(mutex_);
        if (adapters_.empty()) {
            return std::nullopt;
        }
        // The first adapter by path, the one the central uses.
        path = adapters_.begin()->first;
        properties = adapters_.begin()->second;
    }
    ControllerProperties entry;
    if (const auto powered = properties.value(QStringLiteral("Powered"));
        powered.typeId() == QMetaType::Bool) {
        entry["BT Power State"] = std::int64_t{powered.toBool() ? 1 : 0};
    }
    std::map<std::string, std::string> info;
    for (const char* key :
         {"Address", "AddressType", "Name", "Alias", "Class", "Modalias", "PowerState", "Powered",
          "Discovering", "Discoverable", "Pairable", "Roles"}) {
        const auto value = properties.value(QLatin1String(key));
        if (value.isValid()) {
            info[key] = valueText(value);
        }
    }
    // What the kernel says of the adapter's hardware: its bus and driver.
    const std::string name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toStdString();
    const auto device = sysClass_ / "bluetooth" / name / "device";
    std::error_code error;
    const auto subsystem = std::filesystem::read_symlink(device / "subsystem", error);
    if (!error) {
        info["Bus"] = subsystem.filename().string();
    }
    std::ifstream uevent(device / "uevent");
    for (std::string line; std::getline(uevent, line);) {
        if (line.starts_with("DRIVER=")) {
            info["Driver"] = line.substr(7);
        }
    }
    entry["TransportInfo"] = std::move(info);
    return ControllerEntry{0, std::move(entry)};
}

std::vector<ControllerEntry> BlueZController::radioEntries() const {
    // rfkill0, rfkill1, ...: in the kernel's order, which is numeric, not by name.
    std::vector<std::pair<long, std::filesystem::path>> switches;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(sysClass_ / "rfkill", error)) {
        const std::string name = item.path().filename().string();
        if (!name.starts_with("rfkill")) {
            continue;
        }
        char* end = nullptr;
        const long number = std::strtol(name.c_str() + 6, &end, 10);
        if (end && *end == '\0' && firstLine(item.path() / "type") == "bluetooth") {
            switches.emplace_back(number, item.path());
        }
    }
    std::sort(switches.begin(), switches.end());
    std::vector<ControllerEntry> entries;
    for (const auto& [number, folder] : switches) {
        const auto soft = firstLine(folder / "soft");
        const auto hard = firstLine(folder / "hard");
        if (!soft || !hard) {
            entries.push_back(ControllerEntry{EIO, std::nullopt});
            continue;
        }
        const bool hardBlocked = *hard == "1";
        ControllerProperties entry;
        entry["RadioState"] = std::int64_t{*soft == "0" && !hardBlocked ? 1 : 0};
        if (hardBlocked) {
            const std::string label =
                firstLine(folder / "name").value_or(folder.filename().string());
            entry["ErrorStates"] =
                std::vector<std::string>{fmt::format("{} is blocked by a hardware switch", label)};
        }
        entries.push_back(ControllerEntry{0, std::move(entry)});
    }
    return entries;
}

}  // namespace ambleguard::linuxdesktop
