#include "platform/linux/BlueZCentral.h"
#include "platform/linux/BlueZClient.h"
#include "platform/linux/BlueZMessages.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/linux/QtWorkerThread.h"
#include "platform/posix/SystemClock.h"

#include "support/RecordingBleDelegate.h"
#include "support/linux/ScriptedHci.h"
#include "support/linux/TestBuses.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>

#include <gtest/gtest.h>

#include <algorithm>

namespace ambleguard::linuxdesktop {
namespace {

using test::MockObject;
using test::TestBus;
using test::TestBuses;
using test::waitUntil;

const QString kAdapter = "org.bluez.Adapter1";
const QString kDevice = "org.bluez.Device1";
const QString kPhone = "AA:BB:CC:DD:EE:01";
const QString kPhonePath = "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_01";
// The bluez5 template gives hci0 this address.
const QString kAdapterAddress = "00:01:02:03:04:05";

// ManufacturerData as BlueZ sends it: a{qv} with byte-array values.
QVariant manufacturerData(ushort company, const QByteArray& bytes) {
    using Map = QMap<ushort, QDBusVariant>;
    static const bool registered = (qDBusRegisterMetaType<Map>(), true);
    (void)registered;
    return QVariant::fromValue(Map{{company, QDBusVariant(bytes)}});
}

class BlueZCentralTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(buses.ok()); }

    // bluez5 with one powered adapter, hci0.
    void startBlueZ(bool withAdapter = true) {
        ASSERT_TRUE(buses.startTemplate("bluez5"));
        if (withAdapter) {
            root().callOk("org.bluez.Mock", "AddAdapter", {"hci0", "desk"});
        }
    }
    MockObject root() const { return buses.mock(TestBus::system, "org.bluez", "/"); }
    MockObject adapter() const {
        return buses.mock(TestBus::system, "org.bluez", "/org/bluez/hci0");
    }
    MockObject phone() const { return buses.mock(TestBus::system, "org.bluez", kPhonePath); }

    void createCentral(HciChannelOpener* hci = nullptr) {
        central = std::make_unique<BlueZCentral>(thread, buses.connect(TestBus::system), logSink,
                                                 delegate, mainQueue, hci);
    }
    // Creates the central, waits for it to be powered on and starts a scan.
    void scanning(HciChannelOpener* hci = nullptr) {
        createCentral(hci);
        ASSERT_TRUE(waitUntil([&] { return !delegate.states.empty(); }));
        ASSERT_EQ(delegate.states.back(), BleManagerState::poweredOn);
        central->scanForPeripherals(true);
        ASSERT_TRUE(waitUntil([&] { return adapter().callsOf("StartDiscovery").size() == 1; }));
    }
    void setRssi(short rssi) const { phone().updateProperties(kDevice, {{"RSSI", rssi}}); }
    bool waitForDiscoveries(std::size_t count) {
        return waitUntil([&] { return delegate.discoveries.size() >= count; });
    }

    TestBuses buses;
    posix::SystemClock clock;
    QtMainQueue mainQueue;
    QtWorkerThread thread{"bluetooth"};
    NullLogSink logSink;
    test::RecordingBleDelegate delegate{clock};
    std::unique_ptr<BlueZCentral> central;
};

// The first state is the real one: a provisional "unknown" would reach the Bluetooth-loss
// decision with no reading yet.
TEST_F(BlueZCentralTest, FirstStateIsTheObjectManagersAnswerNeverUnknown) {
    startBlueZ();
    createCentral();
    ASSERT_TRUE(waitUntil([&] { return !delegate.states.empty(); }));
    test::processEventsFor(std::chrono::milliseconds(50));
    EXPECT_EQ(delegate.states, std::vector{BleManagerState::poweredOn});
    EXPECT_EQ(central->state(), BleManagerState::poweredOn);
}

TEST_F(BlueZCentralTest, NoBlueZOrNoAdapterIsUnsupportedUntilAnAdapterAppears) {
    createCentral();  // nobody owns org.bluez
    ASSERT_TRUE(waitUntil([&] { return !delegate.states.empty(); }));
    EXPECT_EQ(delegate.states, std::vector{BleManagerState::unsupported});
    central.reset();
    delegate.states.clear();

    startBlueZ(false);
    createCentral();
    ASSERT_TRUE(waitUntil([&] { return !delegate.states.empty(); }));
    EXPECT_EQ(delegate.states, std::vector{BleManagerState::unsupported});
    root().callOk("org.bluez.Mock", "AddAdapter", {"hci0", "desk"});
    ASSERT_TRUE(waitUntil([&] { return delegate.states.size() == 2; }));
    EXPECT_EQ(delegate.states.back(), BleManagerState::poweredOn);
}

TEST_F(BlueZCentralTest, ScanSetsTheFilterAndEveryAdvertisementIsADiscovery) {
    startBlueZ();
    scanning();
    const auto filters = adapter().callsOf("SetDiscoveryFilter");
    ASSERT_EQ(filters.size(), 1u);
    const auto filter = qdbus_cast<QVariantMap>(filters[0].value(0));
    EXPECT_EQ(filter.value("Transport").toString(), "le");
    EXPECT_EQ(filter.value("DuplicateData").toBool(), true);

    // A new device arrives with the RSSI of its first advertisement.
    root().callOk("org.bluez.Mock", "AddDevice", {"hci0", kPhone, "Alex's Phone"});
    ASSERT_TRUE(waitForDiscoveries(1));
    EXPECT_EQ(delegate.discoveries[0].rssi, -79);
    const auto peripheral = delegate.discoveries[0].peripheral;
    EXPECT_EQ(peripheral->identifier(), BlueZClient::identifierFor(kAdapterAddress, kPhone));
    EXPECT_EQ(peripheral->name(), "Alex's Phone");
    EXPECT_FALSE(peripheral->isPaired());
    // The template's empty ManufacturerData has the wrong wire type (aa{qv}): ignored.
    EXPECT_FALSE(delegate.discoveries[0].advertisement.manufacturerData.has_value());

    // Repeated equal values are readings too.
    setRssi(-60);
    setRssi(-60);
    phone().setProperty(kDevice, "ManufacturerData", manufacturerData(0x004c, "\x10\x05\x0b"));
    setRssi(-61);
    ASSERT_TRUE(waitForDiscoveries(4));
    EXPECT_EQ(delegate.discoveries[1].rssi, -60);
    EXPECT_EQ(delegate.discoveries[2].rssi, -60);
    const auto& last = delegate.discoveries[3];
    EXPECT_EQ(last.rssi, -61);
    EXPECT_EQ(last.peripheral, peripheral);  // one object per device
    EXPECT_EQ(last.advertisement.manufacturerData,
              (std::vector<std::uint8_t>{0x4c, 0x00, 0x10, 0x05, 0x0b}));
    const auto& keys = last.advertisement.keys;
    EXPECT_NE(std::find(keys.begin(), keys.end(), "ManufacturerData"), keys.end());
    EXPECT_NE(std::find(keys.begin(), keys.end(), "LocalName"), keys.end());

    EXPECT_EQ(central->retrievePeripherals({peripheral->identifier()}).size(), 1u);
}

TEST_F(BlueZCentralTest, MalformedMessagesAreIgnoredAndNeverCrash) {
    startBlueZ();
    root().callOk("org.bluez.Mock", "AddDevice", {"hci0", kPhone, "Alex's Phone"});
    scanning();
    const QString properties = "org.freedesktop.DBus.Properties";
    // Wrong signature, an RSSI that is text or out of range, a dictionary where a string
    // belongs, and an object manager signal of the wrong shape.
    phone().emitSignal(properties, "PropertiesChanged", "sss", {"a", "b", "c"});
    phone().emitSignal(properties, "PropertiesChanged", "sa{sv}as",
                       {kDevice, QVariantMap{{"RSSI", "-50"}}, QStringList{}});
    phone().emitSignal(properties, "PropertiesChanged", "sa{sv}as",
                       {kDevice, QVariantMap{{"RSSI", 5000}}, QStringList{}});
    phone().emitSignal(properties, "PropertiesChanged", "sa{sv}as",
                       {kDevice, QVariantMap{{"Name", QVariantMap{{"x", 1}}}}, QStringList{}});
    root().emitSignal("org.freedesktop.DBus.ObjectManager", "InterfacesAdded", "os",
                      {QVariant::fromValue(QDBusObjectPath(kPhonePath)), "nonsense"});
    phone().setProperty(kDevice, "ManufacturerData", QVariant::fromValue(QStringList{"x"}));
    setRssi(-55);
    ASSERT_TRUE(waitForDiscoveries(1));
    test::processEventsFor(std::chrono::milliseconds(50));
    ASSERT_EQ(delegate.discoveries.size(), 1u);
    EXPECT_EQ(delegate.discoveries[0].rssi, -55);
    EXPECT_FALSE(delegate.discoveries[0].advertisement.manufacturerData.has_value());
    // The bad name was dropped, not kept from before.
    EXPECT_FALSE(delegate.discoveries[0].peripheral->name().has_value());
}

TEST_F(BlueZCentralTest, PowerOffThenOnRestartsDiscovery) {
    startBlueZ();
    scanning();
    adapter().updateProperties(kAdapter, {{"Powered", false}});
    ASSERT_TRUE(waitUntil([&] { return delegate.states.back() == BleManagerState::poweredOff; }));
    // Nothing is reported while off.
    root().callOk("org.bluez.Mock", "AddDevice", {"hci0", kPhone, "Alex's Phone"});
    // The template has no PowerState; newer BlueZ reports it during transitions.
    adapter().addProperty(kAdapter, "PowerState", "off");
    adapter().updateProperties(kAdapter, {{"PowerState", "off-enabling"}});
    ASSERT_TRUE(waitUntil([&] { return delegate.states.back() == BleManagerState::resetting; }));
    adapter().updateProperties(kAdapter, {{"Powered", true}, {"PowerState", "on"}});
    ASSERT_TRUE(waitUntil([&] { return delegate.states.back() == BleManagerState::poweredOn; }));
    ASSERT_TRUE(waitUntil([&] { return adapter().callsOf("StartDiscovery").size() == 2; }));
    EXPECT_EQ(adapter().callsOf("SetDiscoveryFilter").size(), 2u);
    EXPECT_TRUE(delegate.discoveries.empty());
    setRssi(-58);
    ASSERT_TRUE(waitForDiscoveries(1));
    EXPECT_EQ(delegate.discoveries[0].rssi, -58);
}

TEST_F(BlueZCentralTest, PairedMarkRandomAddressAndRemovalKeepTheIdentifier) {
    startBlueZ();
    scanning();
    root().callOk("org.bluez.Mock", "AddDevice", {"hci0", kPhone, "Alex's Phone"});
    ASSERT_TRUE(waitForDiscoveries(1));
    const auto peripheral = delegate.discoveries[0].peripheral;
    phone().setProperty(kDevice, "AddressType", "random");
    root().callOk("org.bluez.Mock", "PairDevice", {"hci0", kPhone, 5898764});
    ASSERT_TRUE(waitUntil([&] { return peripheral->isPaired(); }));
    EXPECT_TRUE(peripheral->usesRandomAddress());

    adapter().callOk(kAdapter, "RemoveDevice", {QVariant::fromValue(QDBusObjectPath(kPhonePath))});
    ASSERT_TRUE(waitUntil(
        [&] { return central->retrievePeripherals({peripheral->identifier()}).empty(); }));
    root().callOk("org.bluez.Mock", "AddDevice", {"hci0", kPhone, "Alex's Phone"});
    ASSERT_TRUE(waitForDiscoveries(2));
    // Same adapter and address: same identifier, and the same object while anyone holds it.
    EXPECT_EQ(delegate.discoveries[1].peripheral, peripheral);
}

TEST_F(BlueZCentralTest, BlueZGoingAwayResetsAndReportsUnsupported) {
    startBlueZ();
    scanning();
    buses.stopMock("org.bluez");
    ASSERT_TRUE(waitUntil([&] { return delegate.states.back() == BleManagerState::unsupported; }));
    EXPECT_EQ(delegate.states, (std::vector{BleManagerState::poweredOn, BleManagerState::resetting,
                                            BleManagerState::unsupported}));
    // A new bluetoothd with an adapter: powered on, and discovery asked of it again.
    startBlueZ();
    ASSERT_TRUE(waitUntil([&] { return delegate.states.back() == BleManagerState::poweredOn; }));
    ASSERT_TRUE(waitUntil([&] { return adapter().callsOf("StartDiscovery").size() == 1; }));
}

TEST_F(BlueZCentralTest, NothingIsDeliveredAfterDestructionAndDiscoveryIsStopped) {
    startBlueZ();
    root().callOk("org.bluez.Mock", "AddDevice", {"hci0", kPhone, "Alex's Phone"});
    scanning();
    setRssi(-50);
    central.reset();
    test::processEventsFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(delegate.discoveries.empty());
    EXPECT_EQ(adapter().callsOf("StopDiscovery").size(), 1u);
}

using LinkKind = test::RecordingBleDelegate::LinkEvent::Kind;

TEST_F(BlueZCentralTest, ConnectionsFollowTheDevicesConnectedProperty) {
    startBlueZ();
    scanning();
    root().callOk("org.bluez.Mock", "AddDevice", {"hci0", kPhone, "Alex's Phone"});
    ASSERT_TRUE(waitForDiscoveries(1));
    const auto peripheral = delegate.discoveries[0].peripheral;
    const auto linkEvents = [&](std::size_t count) {
        return waitUntil([&] { return delegate.links.size() >= count; });
    };

    // Asked for, then cancelled: one connected callback, and a disconnection without error.
    central->connect(peripheral);
    ASSERT_TRUE(linkEvents(1));
    EXPECT_EQ(delegate.links[0].kind, LinkKind::connected);
    EXPECT_EQ(peripheral->state(), PeripheralConnectionState::connected);
    EXPECT_EQ(phone().callsOf("Connect").size(), 1u);
    central->cancelPeripheralConnection(peripheral);
    ASSERT_TRUE(linkEvents(2));
    EXPECT_EQ(delegate.links[1].kind, LinkKind::disconnected);
    EXPECT_EQ(delegate.links[1].error, std::nullopt);

    // Lost from the other side: the disconnection carries an error.
    central->connect(peripheral);
    ASSERT_TRUE(linkEvents(3));
    EXPECT_EQ(delegate.links[2].kind, LinkKind::connected);
    root().callOk("org.bluez.Mock", "DisconnectDevice", {"hci0", kPhone});
    ASSERT_TRUE(linkEvents(4));
    EXPECT_EQ(delegate.links[3].kind, LinkKind::disconnected);
    EXPECT_EQ(delegate.links[3].error, "The connection was lost");
    test::processEventsFor(std::chrono::milliseconds(100));
    EXPECT_EQ(delegate.links.size(), 4u);  // nothing twice
}

TEST_F(BlueZCentralTest, ALinkTheSystemAlreadyHadIsUsedButNeverEnded) {
    startBlueZ();
    scanning();
    root().callOk("org.bluez.Mock", "AddDevice", {"hci0", kPhone, "Alex's Phone"});
    ASSERT_TRUE(waitForDiscoveries(1));
    const auto peripheral = delegate.discoveries[0].peripheral;
    // Connected by the system (a paired phone's audio, say), not by us.
    root().callOk("org.bluez.Mock", "ConnectDevice", {"hci0", kPhone});
    ASSERT_TRUE(
        waitUntil([&] { return peripheral->state() == PeripheralConnectionState::connected; }));
    EXPECT_TRUE(delegate.links.empty());

    central->connect(peripheral);
    ASSERT_TRUE(waitUntil([&] { return delegate.links.size() == 1; }));
    EXPECT_EQ(delegate.links[0].kind, LinkKind::connected);
    central->cancelPeripheralConnection(peripheral);
    ASSERT_TRUE(waitUntil([&] { return delegate.links.size() == 2; }));
    EXPECT_EQ(delegate.links[1].kind, LinkKind::disconnected);
    EXPECT_EQ(delegate.links[1].error, std::nullopt);
    // The phone stays connected for everyone else.
    EXPECT_TRUE(phone().callsOf("Connect").empty());
    EXPECT_TRUE(phone().callsOf("Disconnect").empty());
    EXPECT_EQ(peripheral->state(), PeripheralConnectionState::connected);
}

TEST_F(BlueZCentralTest, LinkRssiIsReadOverTheAdaptersHciSocket) {
    test::ScriptedHci hci;
    hci.links[{*hci::parseAddress(kPhone.toStdString()), hci::kLeLink}] = 0x0040;
    startBlueZ();
    scanning(&hci);
    EXPECT_TRUE(central->canReadLinkRSSI());
    root().callOk("org.bluez.Mock", "AddDevice", {"hci0", kPhone, "Alex's Phone"});
    ASSERT_TRUE(waitForDiscoveries(1));
    const auto peripheral = delegate.discoveries[0].peripheral;

    // No link yet: nothing is asked of the controller.
    central->readRSSI(peripheral);
    ASSERT_TRUE(waitUntil([&] { return delegate.links.size() == 1; }));
    EXPECT_EQ(delegate.links[0].error, "The device is not connected");

    central->connect(peripheral);
    ASSERT_TRUE(waitUntil([&] { return delegate.links.size() == 2; }));
    central->readRSSI(peripheral);
    const auto sent = [&] {
        std::size_t count = 0;
        thread.runSync([&] { count = hci.sent.size(); });
        return count;
    };
    ASSERT_TRUE(waitUntil([&] { return sent() == 1; }));
    thread.runSync([&] {
        EXPECT_EQ(hci.opened, (std::vector<int>{0}));
        hci.deliver(test::ScriptedHci::readRssiComplete(0x0040, -48));
    });
    ASSERT_TRUE(waitUntil([&] { return delegate.links.size() == 3; }));
    EXPECT_EQ(delegate.links[2].kind, LinkKind::rssi);
    EXPECT_EQ(delegate.links[2].rssi, -48);
    EXPECT_EQ(delegate.links[2].error, std::nullopt);
    EXPECT_EQ(delegate.links[2].peripheral, peripheral);
}

TEST_F(BlueZCentralTest, WithoutAUsableHciSocketLinkRssiIsUnavailable) {
    test::ScriptedHci refused;
    refused.openError = EPERM;
    startBlueZ();
    scanning(&refused);
    EXPECT_FALSE(central->canReadLinkRSSI());
    central.reset();
    delegate.states.clear();
    adapter().clearCalls();
    // Without a reader at all, the same.
    scanning();
    EXPECT_FALSE(central->canReadLinkRSSI());
}

TEST(BlueZMessages, ServiceUuidsAndIdentifiers) {
    EXPECT_EQ(shortServiceUuid("0000180f-0000-1000-8000-00805f9b34fb"), "180F");
    EXPECT_EQ(shortServiceUuid("1234abcd-0000-1000-8000-00805f9b34fb"), "1234ABCD");
    EXPECT_EQ(shortServiceUuid("6e400001-b5a3-f393-e0a9-e50e24dcca9e"),
              "6E400001-B5A3-F393-E0A9-E50E24DCCA9E");
    const auto id = BlueZClient::identifierFor("00:01:02:03:04:05", "aa:bb:cc:dd:ee:01");
    EXPECT_EQ(id, BlueZClient::identifierFor("00:01:02:03:04:05", "AA:BB:CC:DD:EE:01"));
    EXPECT_NE(id, BlueZClient::identifierFor("00:01:02:03:04:06", "AA:BB:CC:DD:EE:01"));
    EXPECT_EQ(id.bytes()[6] >> 4, 5);  // a version 5 UUID
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
