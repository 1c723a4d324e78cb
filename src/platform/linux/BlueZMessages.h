#pragma once

#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ambleguard::linuxdesktop {

// What BlueZ says about one device (org.bluez.Device1), field by field as far as it was told.
// Values of the wrong D-Bus type are ignored, as if absent.
struct BlueZDeviceProperties {
    std::optional<QString> address;
    std::optional<QString> addressType;
    std::optional<QString> name;
    std::optional<QString> adapterPath;
    std::optional<int> rssi;
    std::optional<int> txPower;
    // Company identifier (little-endian) followed by the data, for the first entry.
    std::optional<std::vector<std::uint8_t>> manufacturerData;
    std::optional<std::vector<std::string>> serviceUUIDs;
    std::optional<bool> hasServiceData;
    std::optional<bool> paired;
    std::optional<bool> bonded;
    std::optional<bool> connected;

    // Takes every recognised property in `changed`; returns true when it held an RSSI.
    bool apply(const QVariantMap& changed);
    // Forgets the properties BlueZ says are no longer valid.
    void invalidate(const QStringList& names);
};

// What BlueZ says about an adapter (org.bluez.Adapter1).
struct BlueZAdapterProperties {
    std::optional<QString> address;
    std::optional<bool> powered;
    std::optional<QString> powerState;
    std::optional<bool> discovering;

    void apply(const QVariantMap& changed);
};

// One object's interfaces and their properties.
using BlueZInterfaces = std::map<QString, QVariantMap>;
using BlueZManagedObjects = std::map<QString, BlueZInterfaces>;

struct BlueZInterfacesAdded {
    QString path;
    BlueZInterfaces interfaces;
};

struct BlueZInterfacesRemoved {
    QString path;
    QStringList interfaces;
};

struct BlueZPropertiesChanged {
    QString interface;
    QVariantMap changed;
    QStringList invalidated;
};

// Hand-written readers of BlueZ's messages. Each checks the message's signature before reading
// it, so a message of another shape gives nothing instead of a crash or garbage.
std::optional<BlueZManagedObjects> readManagedObjects(const QDBusMessage& reply);
std::optional<BlueZInterfacesAdded> readInterfacesAdded(const QDBusMessage& signal);
std::optional<BlueZInterfacesRemoved> readInterfacesRemoved(const QDBusMessage& signal);
std::optional<BlueZPropertiesChanged> readPropertiesChanged(const QDBusMessage& signal);

// A service UUID in the short upper-case form for 16- and 32-bit UUIDs on the Bluetooth base
// ("180F"), upper case otherwise.
std::string shortServiceUuid(const QString& uuid);

}  // namespace ambleguard::linuxdesktop
