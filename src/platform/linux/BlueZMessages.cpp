#include "platform/linux/BlueZMessages.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QMetaType>

namespace ambleguard::linuxdesktop {

namespace {

// The argument at `index` as a QDBusArgument of exactly `signature`, or nothing.
std::optional<QDBusArgument> argumentOf(const QVariant& value, const char* signature) {
    if (value.metaType() != QMetaType::fromType<QDBusArgument>()) {
        return std::nullopt;
    }
    auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String(signature)) {
        return std::nullopt;
    }
    return argument;
}

using InterfaceMap = QMap<QString, QVariantMap>;
using ObjectMap = QMap<QDBusObjectPath, InterfaceMap>;

void registerTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<InterfaceMap>();
        qDBusRegisterMetaType<ObjectMap>();
        return true;
    }();
    (void)registered;
}

BlueZInterfaces toInterfaces(const InterfaceMap& map) {
    BlueZInterfaces interfaces;
    for (auto it = map.begin(); it != map.end(); ++it) {
        interfaces[it.key()] = it.value();
    }
    return interfaces;
}

template <typename T>
std::optional<T> valueOf(const QVariant& value) {
    if (value.metaType() != QMetaType::fromType<T>()) {
        return std::nullopt;
    }
    return value.value<T>();
}

// A signed integer of any D-Bus width within [low, high]. BlueZ sends int16; accepting the
// other widths costs nothing and tolerates services that widen them.
std::optional<int> integerOf(const QVariant& value, int low, int high) {
    qint64 number = 0;
    if (value.metaType() == QMetaType::fromType<short>()) {
        number = value.value<short>();
    } else if (value.metaType() == QMetaType::fromType<int>()) {
        number = value.value<int>();
    } else if (value.metaType() == QMetaType::fromType<qlonglong>()) {
        number = value.value<qlonglong>();
    } else {
        return std::nullopt;
    }
    if (number < low || number > high) {
        return std::nullopt;
    }
    return static_cast<int>(number);
}

std::optional<QString> stringOf(const QVariant& value) {
    return valueOf<QString>(value);
}

std::optional<QString> pathOf(const QVariant& value) {
    if (auto path = valueOf<QDBusObjectPath>(value)) {
        return path->path();
    }
    return std::nullopt;
}

// a{qv} with byte-array values: the first entry, company identifier first (little-endian).
std::optional<std::vector<std::uint8_t>> manufacturerDataOf(const QVariant& value) {
    const auto held = argumentOf(value, "a{qv}");
    if (!held) {
        return std::nullopt;
    }
    // Read through a const reference: the non-const begin/end calls are the writing ones.
    const QDBusArgument& argument = *held;
    std::optional<std::vector<std::uint8_t>> first;
    argument.beginMap();
    while (!argument.atEnd()) {
        ushort company = 0;
        QDBusVariant data;
        argument.beginMapEntry();
        argument >> company >> data;
        argument.endMapEntry();
        const QVariant inner = data.variant();
        if (first || inner.metaType() != QMetaType::fromType<QByteArray>()) {
            continue;
        }
        const QByteArray bytes = inner.toByteArray();
        std::vector<std::uint8_t> result;
        result.reserve(static_cast<std::size_t>(bytes.size()) + 2);
        result.push_back(static_cast<std::uint8_t>(company & 0xff));
        result.push_back(static_cast<std::uint8_t>(company >> 8));
        result.insert(result.end(), bytes.begin(), bytes.end());
        first = std::move(result);
    }
    argument.endMap();
    // An empty dictionary means no manufacturer data.
    return first;
}

}  // namespace

bool BlueZDeviceProperties::apply(const QVariantMap& changed) {
    bool sawRssi = false;
    for (auto it = changed.begin(); it != changed.end(); ++it) {
        const QString& key = it.key();
        const QVariant& value = it.value();
        if (key == QLatin1String("Address")) {
            address = stringOf(value);
        } else if (key == QLatin1String("AddressType")) {
            addressType = stringOf(value);
        } else if (key == QLatin1String("Name")) {
            name = stringOf(value);
        } else if (key == QLatin1String("Adapter")) {
            adapterPath = pathOf(value);
        } else if (key == QLatin1String("RSSI")) {
            rssi = integerOf(value, -128, 127);
            sawRssi = rssi.has_value();
        } else if (key == QLatin1String("TxPower")) {
            txPower = integerOf(value, -128, 127);
        } else if (key == QLatin1String("ManufacturerData")) {
            manufacturerData = manufacturerDataOf(value);
        } else if (key == QLatin1String("UUIDs")) {
            if (auto list = valueOf<QStringList>(value)) {
                std::vector<std::string> uuids;
                for (const auto& uuid : *list) {
                    uuids.push_back(shortServiceUuid(uuid));
                }
                serviceUUIDs = std::move(uuids);
            } else {
                serviceUUIDs.reset();
            }
        } else if (key == QLatin1String("ServiceData")) {
            if (auto data = argumentOf(value, "a{sv}")) {
                QVariantMap entries;
                *data >> entries;
                hasServiceData = !entries.isEmpty();
            } else {
                hasServiceData.reset();
            }
        } else if (key == QLatin1String("Paired")) {
            paired = valueOf<bool>(value);
        } else if (key == QLatin1String("Bonded")) {
            bonded = valueOf<bool>(value);
        } else if (key == QLatin1String("Connected")) {
            connected = valueOf<bool>(value);
        }
    }
    return sawRssi;
}

void BlueZDeviceProperties::invalidate(const QStringList& names) {
    QVariantMap cleared;
    for (const auto& property : names) {
        // An invalid QVariant matches no expected type, so each field is reset.
        cleared.insert(property, QVariant());
    }
    apply(cleared);
}

void BlueZAdapterProperties::apply(const QVariantMap& changed) {
    for (auto it = changed.begin(); it != changed.end(); ++it) {
        if (it.key() == QLatin1String("Address")) {
            address = stringOf(it.value());
        } else if (it.key() == QLatin1String("Powered")) {
            powered = valueOf<bool>(it.value());
        } else if (it.key() == QLatin1String("PowerState")) {
            powerState = stringOf(it.value());
        } else if (it.key() == QLatin1String("Discovering")) {
            discovering = valueOf<bool>(it.value());
        }
    }
}

std::optional<BlueZManagedObjects> readManagedObjects(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage ||
        reply.signature() != QLatin1String("a{oa{sa{sv}}}")) {
        return std::nullopt;
    }
    auto argument = argumentOf(reply.arguments().value(0), "a{oa{sa{sv}}}");
    if (!argument) {
        return std::nullopt;
    }
    registerTypes();
    const auto map = qdbus_cast<ObjectMap>(*argument);
    BlueZManagedObjects objects;
    for (auto it = map.begin(); it != map.end(); ++it) {
        objects[it.key().path()] = toInterfaces(it.value());
    }
    return objects;
}

std::optional<BlueZInterfacesAdded> readInterfacesAdded(const QDBusMessage& signal) {
    if (signal.signature() != QLatin1String("oa{sa{sv}}")) {
        return std::nullopt;
    }
    const auto path = pathOf(signal.arguments().value(0));
    const auto argument = argumentOf(signal.arguments().value(1), "a{sa{sv}}");
    if (!path || !argument) {
        return std::nullopt;
    }
    registerTypes();
    return BlueZInterfacesAdded{*path, toInterfaces(qdbus_cast<InterfaceMap>(*argument))};
}

std::optional<BlueZInterfacesRemoved> readInterfacesRemoved(const QDBusMessage& signal) {
    if (signal.signature() != QLatin1String("oas")) {
        return std::nullopt;
    }
    const auto path = pathOf(signal.arguments().value(0));
    const auto interfaces = valueOf<QStringList>(signal.arguments().value(1));
    if (!path || !interfaces) {
        return std::nullopt;
    }
    return BlueZInterfacesRemoved{*path, *interfaces};
}

std::optional<BlueZPropertiesChanged> readPropertiesChanged(const QDBusMessage& signal) {
    if (signal.signature() != QLatin1String("sa{sv}as")) {
        return std::nullopt;
    }
    const auto interface = stringOf(signal.arguments().value(0));
    const auto changed = argumentOf(signal.arguments().value(1), "a{sv}");
    const auto invalidated = valueOf<QStringList>(signal.arguments().value(2));
    if (!interface || !changed || !invalidated) {
        return std::nullopt;
    }
    QVariantMap properties;
    *changed >> properties;
    return BlueZPropertiesChanged{*interface, std::move(properties), *invalidated};
}

std::string shortServiceUuid(const QString& uuid) {
    const QString upper = uuid.toUpper();
    static const QString kBase = QStringLiteral("-0000-1000-8000-00805F9B34FB");
    if (upper.size() == 36 && upper.endsWith(kBase)) {
        const QString head = upper.left(8);
        return (head.startsWith(QLatin1String("0000")) ? head.mid(4) : head).toStdString();
    }
    return upper.toStdString();
}

}  // namespace ambleguard::linuxdesktop
