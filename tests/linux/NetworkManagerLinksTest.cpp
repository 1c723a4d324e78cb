#include "platform/linux/NetworkManagerLinks.h"

#include "bluetooth/HotspotMonitor.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/sim/RecordingLogSink.h"
#include "support/linux/TestBuses.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>

#include <gtest/gtest.h>

namespace ambleguard::linuxdesktop {
namespace {

using test::TestBus;
using test::waitUntil;

const QString kService = "org.freedesktop.NetworkManager";
const QString kDevice = "org.freedesktop.NetworkManager.Device";
const QString kIp4Config = "org.freedesktop.NetworkManager.IP4Config";
const QString kDevices = "/org/freedesktop/NetworkManager/Devices/";

// AddressData as NetworkManager sends it: aa{sv}.
QVariant addressData(const QStringList& addresses) {
    using List = QList<QVariantMap>;
    static const bool registered = (qDBusRegisterMetaType<List>(), true);
    (void)registered;
    List list;
    for (const auto& address : addresses) {
        list.push_back({{"address", address}, {"prefix", 24u}});
    }
    return QVariant::fromValue(list);
}

class NetworkManagerLinksTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(buses.ok()); }

    void startNetworkManager() { ASSERT_TRUE(buses.startTemplate("networkmanager")); }
    test::MockObject mockRoot() const {
        return buses.mock(TestBus::system, kService, "/org/freedesktop");
    }
    test::MockObject object(const QString& path) const {
        return buses.mock(TestBus::system, kService, path);
    }
    // An IPv4 configuration object holding `addresses`.
    QString addConfig(int number, const QStringList& addresses) const {
        const QString path = QString("/org/freedesktop/NetworkManager/IP4Config/%1").arg(number);
        mockRoot().addObject(path, kIp4Config, {{"AddressData", addressData(addresses)}});
        return path;
    }
    // A Wi-Fi device from the template, given an IPv4 configuration and a metered state.
    void addWifi(const QString& name, const QString& config, uint metered) const {
        mockRoot().callOk("org.freedesktop.DBus.Mock", "AddWiFiDevice", {name, name, 100});
        object(kDevices + name)
            .addProperty(kDevice, "Ip4Config", QVariant::fromValue(QDBusObjectPath(config)));
        object(kDevices + name).addProperty(kDevice, "Metered", metered);
    }
    // A Bluetooth tether device, as NetworkManager shows a phone's network access point.
    void addBluetooth(const QString& config) const {
        const QString path = kDevices + "bt0";
        mockRoot().addObject(path, kDevice,
                             {{"DeviceType", 5u},
                              {"Interface", "AA:BB:CC:DD:EE:01"},
                              {"IpInterface", "bnep0"},
                              {"Ip4Config", QVariant::fromValue(QDBusObjectPath(config))},
                              {"Metered", 3u},
                              {"State", 100u}});
        object("/org/freedesktop/NetworkManager")
            .emitSignal(kService, "DeviceAdded", "o", {QVariant::fromValue(QDBusObjectPath(path))});
    }
    void watch() {
        auto connection = links->watch([this] { ++changes; });
        ASSERT_TRUE(connection.has_value());
        watching = std::move(*connection);
    }

    test::TestBuses buses;
    QtMainQueue mainQueue;
    sim::RecordingLogSink logSink;
    std::unique_ptr<NetworkManagerLinks> links =
        std::make_unique<NetworkManagerLinks>(buses.connect(TestBus::system), mainQueue, logSink);
    int changes = 0;
    Connection watching;
};

TEST_F(NetworkManagerLinksTest, DevicesComeInOrderWithTheirKindAddressesAndMeteredMark) {
    startNetworkManager();
    addWifi("wlan0", addConfig(1, {"172.20.10.4"}), 4);  // metered: guess-no
    watch();
    ASSERT_TRUE(waitUntil([&] { return changes == 1; }));
    auto now = links->interfaces();
    ASSERT_TRUE(now.has_value());
    ASSERT_EQ(now->size(), 1u);
    EXPECT_EQ((*now)[0],
              (NetworkInterface{"wlan0", true, "Wi-Fi (wlan0)", {"172.20.10.4"}, false}));

    // A phone's Bluetooth network appears: its IP interface names it, and it says Bluetooth.
    addBluetooth(addConfig(2, {"192.168.44.2"}));
    ASSERT_TRUE(waitUntil([&] { return changes == 2; }));
    now = links->interfaces();
    ASSERT_EQ(now->size(), 2u);
    EXPECT_EQ(
        (*now)[1],
        (NetworkInterface{
            "bnep0", false, "Bluetooth network (AA:BB:CC:DD:EE:01)", {"192.168.44.2"}, true}));

    // A Wi-Fi network NetworkManager judges metered (a phone announced it), in another subnet.
    object("/org/freedesktop/NetworkManager/IP4Config/1")
        .updateProperties(kIp4Config, {{"AddressData", addressData({"192.168.43.17"})}});
    object(kDevices + "wlan0").updateProperties(kDevice, {{"Metered", 3u}});
    ASSERT_TRUE(waitUntil([&] {
        const auto current = links->interfaces();
        return current && (*current)[0].metered &&
               (*current)[0].ipv4Addresses == std::vector<std::string>{"192.168.43.17"};
    }));

    // A change that touches nothing we read tells nobody.
    const int before = changes;
    object(kDevices + "wlan0").updateProperties(kDevice, {{"Driver", "iwlwifi"}});
    object(kDevices + "wlan0").updateProperties(kDevice, {{"State", 100u}});
    test::processEventsFor(std::chrono::milliseconds(200));
    EXPECT_EQ(changes, before);
}

TEST_F(NetworkManagerLinksTest, TheHotspotMonitorSeesTetheringThroughNetworkManager) {
    startNetworkManager();
    addWifi("wlan0", addConfig(1, {"172.20.10.4"}), 4);
    HotspotMonitor monitor(*links, logSink);
    std::vector<std::optional<HotspotMonitor::Kind>> kinds;
    monitor.onChange = [&](std::optional<HotspotMonitor::Kind> kind) { kinds.push_back(kind); };
    monitor.start();
    ASSERT_TRUE(waitUntil([&] { return kinds.size() == 1; }));
    EXPECT_EQ(kinds[0], HotspotMonitor::Kind::wifiHotspot);
    addBluetooth(addConfig(2, {"192.168.44.2"}));
    ASSERT_TRUE(waitUntil([&] { return kinds.size() == 2; }));
    EXPECT_EQ(kinds[1], HotspotMonitor::Kind::bluetoothPAN);
    EXPECT_TRUE(logSink.contains("Hotspot link detected: Bluetooth PAN"));
}

TEST_F(NetworkManagerLinksTest, NetworkManagerMissingOrLeavingIsReportedAndNeverCrashes) {
    EXPECT_FALSE(links->watch([] {}).has_value());
    EXPECT_TRUE(logSink.containsFragment("NetworkManager (org.freedesktop.NetworkManager) is not"));

    startNetworkManager();
    addWifi("wlan0", addConfig(1, {"10.1.2.3"}), 4);
    watch();
    ASSERT_TRUE(waitUntil([&] { return links->interfaces().has_value(); }));
    buses.stopMock(kService.toStdString());
    ASSERT_TRUE(waitUntil([&] { return !links->interfaces().has_value(); }));
    const int whenGone = changes;
    EXPECT_GE(whenGone, 2);
    // Back again: read afresh.
    startNetworkManager();
    ASSERT_TRUE(waitUntil([&] { return links->interfaces().has_value(); }));
    EXPECT_TRUE(links->interfaces()->empty());
    EXPECT_EQ(changes, whenGone + 1);
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
