#include "platform/linux/NetworkManagerLinks.h"

#include "platform/linux/BlueZMessages.h"
#include "platform/linux/DBusCalls.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include <algorithm>

namespace ambleguard::linuxdesktop {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kManager = QStringLiteral("org.freedesktop.NetworkManager");
const QString kDevice = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kIp4Config = QStringLiteral("org.freedesktop.NetworkManager.IP4Config");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// NMDeviceType and NMMetered values.
constexpr uint kTypeWifi = 2;
constexpr uint kTypeBluetooth = 5;
constexpr uint kMeteredYes = 1;
constexpr uint kMeteredGuessYes = 3;

// Properties whose change can change what a device contributes.
bool matters(const QString& interface, const QStringList& names) {
    static const QStringList device = {"DeviceType", "Interface", "IpInterface",
                                       "Ip4Config",  "Metered",   "State"};
    static const QStringList config = {"AddressData", "Addresses"};
    const QStringList& watched = interface == kDevice      ? device
                                 : interface == kIp4Config ? config
                                 : interface == kManager   ? QStringList{"Devices"}
                                                           : QStringList{};
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& name) { return watched.contains(name); });
}

QDBusMessage getAll(const QString& path, const QString& interface) {
    auto call =
        QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("GetAll"));
    call << interface;
    return call;
}

// An a{sv} reply's dictionary; nothing for a reply of another shape.
std::optional<QVariantMap> dictionaryOf(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("a{sv}")) {
        return std::nullopt;
    }
    const QVariant value = reply.arguments().at(0);
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    }
    return value.toMap();
}

std::optional<uint> unsignedOf(const QVariant& value) {
    if (value.metaType() != QMetaType::fromType<uint>()) {
        return std::nullopt;
    }
    return value.toUInt();
}

QString stringOf(const QVariant& value) {
    return value.metaType() == QMetaType::fromType<QString>() ? value.toString() : QString();
}

// The "address" of each entry of an IP4Config's AddressData (aa{sv}).
std::vector<std::string> addressesOf(const QVariant& addressData) {
    std::vector<std::string> addresses;
    if (addressData.metaType() != QMetaType::fromType<QDBusArgument>()) {
        return addresses;
    }
    // Read through a const argument: the non-const begin/end calls are the writing ones.
    const auto argument = addressData.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("aa{sv}")) {
        return addresses;
    }
    argument.beginArray();
    while (!argument.atEnd()) {
        QVariantMap entry;
        argument >> entry;
        const QString address = stringOf(entry.value(QStringLiteral("address")));
        if (!address.isEmpty()) {
            addresses.push_back(address.toStdString());
        }
    }
    argument.endArray();
    return addresses;
}

}  // namespace

// One re-read: the devices in NetworkManager's order, filled in as their answers come.
struct NetworkManagerLinks::Round {
    std::uint64_t generation = 0;
    std::vector<std::optional<NetworkInterface>> devices;
    std::size_t pending = 0;
};

NetworkManagerLinks::NetworkManagerLinks(QDBusConnection bus, MainQueue& mainQueue,
                                         LogSink& logSink, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), mainQueue_(mainQueue), log_(logSink, "Hotspot") {}

NetworkManagerLinks::~NetworkManagerLinks() = default;

std::optional<Connection> NetworkManagerLinks::watch(std::function<void()> onChange) {
    if (!bus_.isConnected()) {
        log_.notice("No system bus ({}): network links are not watched",
                    bus_.lastError().message().toStdString());
        return std::nullopt;
    }
    const auto registered = bus_.interface()->isServiceRegistered(kService);
    if (!registered.isValid() || !registered.value()) {
        log_.notice("NetworkManager ({}) is not on the system bus: network links are not watched",
                    kService.toStdString());
        return std::nullopt;
    }
    if (!subscribed_) {
        if (!subscribe()) {
            log_.error("Cannot subscribe to NetworkManager's signals: {}",
                       bus_.lastError().message().toStdString());
            return std::nullopt;
        }
        subscribed_ = true;
        refresh();
    }
    auto observer = std::make_shared<std::function<void()>>(std::move(onChange));
    observers_.push_back(observer);
    return Connection(liveness_.guarded([this, observer] { std::erase(observers_, observer); }));
}

bool NetworkManagerLinks::subscribe() {
    bool ok = bus_.connect(kService, kManagerPath, kManager, QStringLiteral("DeviceAdded"), this,
                           SLOT(onDeviceListChanged(QDBusMessage)));
    ok = ok && bus_.connect(kService, kManagerPath, kManager, QStringLiteral("DeviceRemoved"), this,
                            SLOT(onDeviceListChanged(QDBusMessage)));
    ok = ok && bus_.connect(kService, QString(), kDevice, QStringLiteral("StateChanged"), this,
                            SLOT(onDeviceStateChanged(QDBusMessage)));
    // The standard signal, and the per-interface one older versions send: any interface.
    ok = ok && bus_.connect(kService, QString(), QString(), QStringLiteral("PropertiesChanged"),
                            this, SLOT(onPropertiesChanged(QDBusMessage)));
    if (ok) {
        ownerWatcher_ =
            new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(ownerWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
                &NetworkManagerLinks::onOwnerChanged);
    }
    return ok;
}

void NetworkManagerLinks::onDeviceListChanged(const QDBusMessage& /*message*/) {
    refresh();
}

void NetworkManagerLinks::onDeviceStateChanged(const QDBusMessage& /*message*/) {
    refresh();
}

void NetworkManagerLinks::onPropertiesChanged(const QDBusMessage& message) {
    if (message.interface() == kProperties) {
        const auto change = readPropertiesChanged(message);
        if (change && (matters(change->interface, change->changed.keys()) ||
                       matters(change->interface, change->invalidated))) {
            refresh();
        }
        return;
    }
    // The older form: sent on the changed interface itself, with the changes alone.
    if (message.signature() == QLatin1String("a{sv}")) {
        const QVariant value = message.arguments().at(0);
        const QVariantMap changed = value.metaType() == QMetaType::fromType<QDBusArgument>()
                                        ? qdbus_cast<QVariantMap>(value.value<QDBusArgument>())
                                        : value.toMap();
        if (matters(message.interface(), changed.keys())) {
            refresh();
        }
    }
}

void NetworkManagerLinks::onOwnerChanged(const QString& /*name*/, const QString& /*oldOwner*/,
                                         const QString& newOwner) {
    if (newOwner.isEmpty()) {
        log_.notice("NetworkManager left the system bus");
        ++generation_;  // answers still on their way belong to the one that left
        refreshing_ = false;
        again_ = false;
        take(std::nullopt);
        return;
    }
    refresh();
}

void NetworkManagerLinks::refresh() {
    if (refreshing_) {
        again_ = true;
        return;
    }
    refreshing_ = true;
    again_ = false;
    auto round = std::make_shared<Round>();
    round->generation = ++generation_;
    const auto call = QDBusMessage::createMethodCall(kService, kManagerPath, kManager,
                                                     QStringLiteral("GetDevices"));
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, kServiceCallTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, round](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (round->generation != generation_) {
                    return;
                }
                const QDBusMessage reply = finished->reply();
                if (reply.type() != QDBusMessage::ReplyMessage ||
                    reply.signature() != QLatin1String("ao")) {
                    log_.error("NetworkManager's device list is unavailable: {}",
                               reply.type() == QDBusMessage::ErrorMessage
                                   ? errorText(reply).toStdString()
                                   : "signature " + reply.signature().toStdString());
                    finish(std::nullopt);
                    return;
                }
                const auto paths = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().at(0));
                round->devices.resize(static_cast<std::size_t>(paths.size()));
                round->pending = round->devices.size();
                if (round->pending == 0) {
                    finish(std::vector<NetworkInterface>{});
                    return;
                }
                for (qsizetype i = 0; i < paths.size(); ++i) {
                    readDevice(round, static_cast<std::size_t>(i), paths.at(i).path());
                }
            });
}

void NetworkManagerLinks::readDevice(const std::shared_ptr<Round>& round, std::size_t index,
                                     const QString& path) {
    auto* pending = new QDBusPendingCallWatcher(
        bus_.asyncCall(getAll(path, kDevice), kServiceCallTimeoutMs), this);
    connect(
        pending, &QDBusPendingCallWatcher::finished, this,
        [this, round, index](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            if (round->generation != generation_) {
                return;
            }
            // A device that vanished since the list was read is left out; its removal
            // has asked for another re-read.
            const auto properties = dictionaryOf(finished->reply());
            if (!properties) {
                deviceDone(round);
                return;
            }
            const auto type = unsignedOf(properties->value(QStringLiteral("DeviceType")));
            const QString interface = stringOf(properties->value(QStringLiteral("Interface")));
            const QString ipInterface = stringOf(properties->value(QStringLiteral("IpInterface")));
            const QString name = ipInterface.isEmpty() ? interface : ipInterface;
            const auto metered = unsignedOf(properties->value(QStringLiteral("Metered")));

            NetworkInterface link;
            if (!name.isEmpty()) {
                link.name = name.toStdString();
            }
            link.wifi = type == kTypeWifi;
            link.metered = metered == kMeteredYes || metered == kMeteredGuessYes;
            link.displayName = type == kTypeBluetooth
                                   ? "Bluetooth network (" + interface.toStdString() + ")"
                               : link.wifi ? "Wi-Fi (" + name.toStdString() + ")"
                                           : name.toStdString();
            round->devices[index] = std::move(link);

            const QVariant config = properties->value(QStringLiteral("Ip4Config"));
            const QString configPath = config.metaType() == QMetaType::fromType<QDBusObjectPath>()
                                           ? config.value<QDBusObjectPath>().path()
                                           : QString();
            if (configPath.isEmpty() || configPath == QLatin1String("/")) {
                deviceDone(round);
                return;
            }
            readAddresses(round, index, configPath);
        });
}

void NetworkManagerLinks::readAddresses(const std::shared_ptr<Round>& round, std::size_t index,
                                        const QString& configPath) {
    auto* pending = new QDBusPendingCallWatcher(
        bus_.asyncCall(getAll(configPath, kIp4Config), kServiceCallTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, round, index](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (round->generation != generation_) {
                    return;
                }
                if (const auto properties = dictionaryOf(finished->reply())) {
                    round->devices[index]->ipv4Addresses =
                        addressesOf(properties->value(QStringLiteral("AddressData")));
                }
                deviceDone(round);
            });
}

void NetworkManagerLinks::deviceDone(const std::shared_ptr<Round>& round) {
    if (--round->pending > 0) {
        return;
    }
    std::vector<NetworkInterface> links;
    for (auto& device : round->devices) {
        if (device) {
            links.push_back(std::move(*device));
        }
    }
    finish(std::move(links));
}

void NetworkManagerLinks::finish(std::optional<std::vector<NetworkInterface>> links) {
    refreshing_ = false;
    take(std::move(links));
    if (again_) {
        refresh();
    }
}

void NetworkManagerLinks::take(std::optional<std::vector<NetworkInterface>> links) {
    if (links == links_) {
        return;
    }
    links_ = std::move(links);
    // Told on the main queue, after this signal's handling: observers read the list afresh.
    mainQueue_.post(liveness_.guarded([this] {
        const auto observers = observers_;
        for (const auto& observer : observers) {
            (*observer)();
        }
    }));
}

}  // namespace ambleguard::linuxdesktop
