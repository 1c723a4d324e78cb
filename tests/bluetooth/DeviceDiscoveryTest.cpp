#include "bluetooth/DeviceDiscovery.h"

#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimBluetoothWorld.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimPeripheral.h"
#include "settings/SettingsKeys.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ambleguard {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FakeReadings : public ReadingSink {
  public:
    void processRSSI(int raw) override { values.push_back(raw); }
    void recordRSSIFailure(std::string_view reason) override { failures.emplace_back(reason); }
    std::vector<int> values;
    std::vector<std::string> failures;
};

class FakeConnections : public ConnectionAttempts {
  public:
    void attemptConnection(std::string_view trigger) override { triggers.emplace_back(trigger); }
    void tearDownConnectionFeed(std::string_view, bool) override {}
    void setOnboardingCalibrationConnectAllowed(bool) override {}
    std::vector<std::string> triggers;
};

class FakeResets : public SignalStateResets {
  public:
    void shortReset() override { calls.push_back("short"); }
    void fullReset() override { calls.push_back("full"); }
    void dropFilter() override { calls.push_back("drop"); }
    std::vector<std::string> calls;
};

const Uuid kPhone = Uuid::fromHalves(0xA1, 1);
const Uuid kBeacon = Uuid::fromHalves(0xB2, 2);
const Uuid kBeaconRotated = Uuid::fromHalves(0xB3, 3);
const Uuid kOther = Uuid::fromHalves(0xC4, 4);

std::array<std::uint8_t, 20> beaconId(std::uint8_t seed) {
    std::array<std::uint8_t, 20> id{};
    for (std::size_t i = 0; i < id.size(); ++i) {
        id[i] = static_cast<std::uint8_t>(seed + i);
    }
    return id;
}

AdvertisementData beaconAdvertisement(std::uint8_t seed = 0x10) {
    AdvertisementData advertisement;
    advertisement.manufacturerData = sim::altBeaconManufacturerData(0x0118, beaconId(seed));
    advertisement.keys = {"ManufacturerData"};
    return advertisement;
}

// The identity key of beaconAdvertisement(seed).
std::string beaconKey(std::uint8_t seed = 0x10) {
    return parseBeaconFrame(beaconAdvertisement(seed))->identityKey;
}

class DeviceDiscoveryTest : public ::testing::Test {
  protected:
    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::SimExecutor peripheralQueue{loop};
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    SettingsStore settings{persistence, log};
    FakeReadings readings;
    FakeConnections connections;
    FakeResets resets;
    std::unique_ptr<DeviceDiscovery> discovery;
    Connection listObserver;
    int publications = 0;
    Instant start = clock.now();

    void create() {
        start = clock.now();
        discovery = std::make_unique<DeviceDiscovery>(clock, loop, peripheralQueue, settings, log,
                                                      readings, connections, resets);
        listObserver = discovery->onPeripheralsChanged(
            [this](const std::vector<PeripheralRef>&) { ++publications; });
    }
    void track(const Uuid& identifier, std::optional<std::string> identity = std::nullopt) {
        settings.setString(keys::checkedPeripheralUUID, identifier.toString());
        if (identity) {
            settings.setString(keys::checkedBeaconIdentity, *identity);
        }
    }
    static PeripheralRef device(const Uuid& identifier, std::optional<std::string> name) {
        return std::make_shared<sim::SimPeripheral>(identifier, std::move(name));
    }
    void discover(const PeripheralRef& peripheral, const AdvertisementData& advertisement,
                  int rssi = -60) {
        discovery->handleDiscovery(peripheral, advertisement, rssi);
        loop.runDue();
    }
    void advanceTo(double seconds) { loop.advanceTo(addSeconds(start, seconds)); }
    // What the list shows: each peripheral's name, else its resolved label.
    std::vector<std::string> listed() {
        std::vector<std::string> names;
        for (const auto& peripheral : discovery->peripherals()) {
            names.push_back(peripheral->name().value_or(
                discovery->resolvedName(*peripheral)
                    .value_or("<" + peripheral->identifier().toString() + ">")));
        }
        return names;
    }
};

TEST_F(DeviceDiscoveryTest, NamedDevicesAreListedAndLoggedOnceWhileRefreshesStayQuiet) {
    create();
    AdvertisementData advertisement;
    advertisement.manufacturerData =
        std::vector<std::uint8_t>{0x4C, 0x00, 0x10, 0x05, 0x01, 0x18, 0x44, 0x55};
    advertisement.serviceUUIDs = std::vector<std::string>{"180F", "FE9F"};
    advertisement.keys = {"ServiceUUIDs", "ManufacturerData", "LocalName"};
    const auto speaker = device(kOther, "Kitchen speaker");
    discover(speaker, advertisement);
    discover(speaker, advertisement);
    discover(device(kPhone, "Plain"), AdvertisementData{});

    EXPECT_EQ(log.count("New named device: Kitchen speaker (" + kOther.toString() +
                        ") advKeys=[LocalName,ManufacturerData,ServiceUUIDs] "
                        "services=[180F,FE9F] mfg=4c0010050118"),
              1u);
    EXPECT_TRUE(log.contains("New named device: Plain (" + kPhone.toString() +
                             ") advKeys=[] services=[none] mfg=none"));
    EXPECT_THAT(listed(), ElementsAre("Kitchen speaker", "Plain"));
    EXPECT_EQ(publications, 2);  // the refresh of a known device does not republish
    EXPECT_TRUE(readings.values.empty());
    EXPECT_TRUE(connections.triggers.empty());
}

TEST_F(DeviceDiscoveryTest, TheTrackedDeviceFeedsThePipelineEvenWhenItCannotBeListed) {
    track(kPhone);
    create();
    const auto nameless = device(kPhone, std::nullopt);
    discover(nameless, AdvertisementData{}, -58);
    discover(nameless, AdvertisementData{}, 127);
    discover(device(kOther, std::nullopt), AdvertisementData{}, -40);  // untracked and nameless

    EXPECT_THAT(readings.values, ElementsAre(-58));
    EXPECT_THAT(readings.failures, ElementsAre("Invalid peripheral RSSI"));
    EXPECT_TRUE(log.contains("Invalid RSSI (127) received for tracked device"));
    EXPECT_THAT(listed(), IsEmpty());
    EXPECT_THAT(connections.triggers, ElementsAre("discovery", "discovery"));

    // Once named it is listed and republished on each advertisement.
    const auto named = device(kPhone, "My phone");
    discover(named, AdvertisementData{});
    discover(named, AdvertisementData{});
    EXPECT_THAT(listed(), ElementsAre("My phone"));
    EXPECT_EQ(publications, 2);

    // Passive-only mode asks for no connection.
    settings.setBool(keys::disableConnectedPrimary, true);
    discover(named, AdvertisementData{});
    EXPECT_EQ(connections.triggers.size(), 4u);
}

TEST_F(DeviceDiscoveryTest, AppleOnlyModeKeepsAppleDevicesAndTheTrackedOne) {
    settings.setBool(keys::showOnlyAppleDevices, true);
    track(kPhone);
    create();
    AdvertisementData bare;
    bare.manufacturerData = std::vector<std::uint8_t>{0x4C, 0x00};
    AdvertisementData apple;
    apple.manufacturerData = std::vector<std::uint8_t>{0x4C, 0x00, 0x10};
    discover(device(kOther, "Company only"), bare);
    discover(device(kBeacon, "Watch"), apple);
    discover(device(kPhone, "Tracked speaker"), AdvertisementData{});
    EXPECT_THAT(listed(), ElementsAre("Tracked speaker", "Watch"));
}

TEST_F(DeviceDiscoveryTest, TheListIsOrderedByComposedScalarValues) {
    create();
    discover(device(Uuid::fromHalves(1, 1), "Zoe"), {});
    discover(device(Uuid::fromHalves(1, 2), "E\u0301mile"), {});  // decomposed
    discover(device(Uuid::fromHalves(1, 3), "Ezra"), {});
    discover(device(Uuid::fromHalves(1, 0), "\u00C9mile"), {});  // precomposed
    discover(device(Uuid::fromHalves(1, 4), "alpha"), {});
    discover(device(Uuid::fromHalves(1, 5), std::string("bad \xFF name")), {});
    discover(device(kBeacon, std::nullopt), beaconAdvertisement());

    // Equal names fall back to the identifier, so the precomposed one (lower id) comes first.
    EXPECT_THAT(listed(),
                ElementsAre("Ezra", "Radius Networks \u00B7 10111213 \u00B7 8225/8739", "Zoe",
                            "alpha", "bad \xFF name", "\u00C9mile", "E\u0301mile"));
}

TEST_F(DeviceDiscoveryTest, ATrackedDeviceLearnsItsBeaconIdentity) {
    track(kBeacon);
    create();
    discover(device(kBeacon, std::nullopt), beaconAdvertisement());

    EXPECT_TRUE(log.contains("Backfilling beacon identity for tracked device"));
    EXPECT_EQ(settings.stringForKey(keys::checkedBeaconIdentity), beaconKey());
    EXPECT_EQ(discovery->selection().beaconIdentity(), beaconKey());
    EXPECT_FALSE(log.containsFragment("Beacon identity changed"));
    EXPECT_EQ(discovery->beaconIdentity(*device(kBeacon, std::nullopt)), beaconKey());
    EXPECT_EQ(discovery->resolvedName(*device(kBeacon, std::nullopt)),
              "Radius Networks \u00B7 10111213 \u00B7 8225/8739");

    // A beacon is never connected.
    connections.triggers.clear();
    discover(device(kBeacon, std::nullopt), beaconAdvertisement());
    EXPECT_TRUE(connections.triggers.empty());
}

TEST_F(DeviceDiscoveryTest, ATrackedBeaconIsFollowedToItsNewAddress) {
    settings.setString(keys::detectionMode, "Stable");
    track(kBeacon, beaconKey());
    create();
    discover(device(kBeacon, std::nullopt), beaconAdvertisement(), -61);
    discover(device(kOther, "Bystander"), {});
    resets.calls.clear();
    log.clear();

    const auto rotated = device(kBeaconRotated, std::nullopt);
    discover(rotated, beaconAdvertisement(), -63);

    EXPECT_TRUE(log.contains("Tracked beacon rotated address, re-adopting with new identifier " +
                             kBeaconRotated.toString()));
    EXPECT_THAT(readings.values, ElementsAre(-61, -63));
    EXPECT_EQ(settings.stringForKey(keys::checkedPeripheralUUID), kBeaconRotated.toString());
    EXPECT_EQ(discovery->selection().identifier(), kBeaconRotated);
    ASSERT_EQ(discovery->peripherals().size(), 2u);
    EXPECT_EQ(discovery->peripherals()[0]->identifier(), kOther);
    EXPECT_EQ(discovery->peripherals()[1]->identifier(), kBeaconRotated);
    EXPECT_FALSE(log.containsFragment("Selection changed"));
    EXPECT_TRUE(resets.calls.empty());  // the reading state survives the address change

    // From now on the new address is simply the tracked device.
    discover(rotated, beaconAdvertisement(), 127);
    EXPECT_THAT(readings.failures, ElementsAre("Invalid peripheral RSSI"));
    EXPECT_EQ(log.count("Invalid RSSI (127) received for tracked device"), 1u);
}

TEST_F(DeviceDiscoveryTest, AnUntrackedBeaconAtANewAddressReplacesItsOldEntry) {
    create();
    discover(device(kBeacon, std::nullopt), beaconAdvertisement());
    discover(device(kOther, std::nullopt), beaconAdvertisement(0x40));  // another beacon
    ASSERT_EQ(discovery->peripherals().size(), 2u);

    discover(device(kBeaconRotated, std::nullopt), beaconAdvertisement());
    std::vector<Uuid> identifiers;
    for (const auto& peripheral : discovery->peripherals()) {
        identifiers.push_back(peripheral->identifier());
    }
    EXPECT_THAT(identifiers, ::testing::UnorderedElementsAre(kOther, kBeaconRotated));
    EXPECT_TRUE(readings.values.empty());
}

TEST_F(DeviceDiscoveryTest, DevicesExpireStrictlyAfterTheLimitAtTheNextTick) {
    track(kPhone);
    create();
    const auto tracked = device(kPhone, "Phone");
    discover(tracked, {});
    advanceTo(14.5);
    discover(device(kOther, std::nullopt), beaconAdvertisement());  // older by half a second
    advanceTo(15);
    discover(device(kBeacon, "Speaker"), {});
    advanceTo(74.999);
    EXPECT_EQ(discovery->peripherals().size(), 3u);

    // At the 75 s tick: 60.5 s old goes, 60.0 s old stays, the tracked device never expires.
    advanceTo(75);
    EXPECT_THAT(listed(), ElementsAre("Phone", "Speaker"));
    EXPECT_TRUE(log.contains("Removed 1 expired devices"));
    EXPECT_FALSE(discovery->resolvedName(*device(kOther, std::nullopt)));
    EXPECT_FALSE(discovery->beaconIdentity(*device(kOther, std::nullopt)));

    advanceTo(90);
    EXPECT_THAT(listed(), ElementsAre("Phone"));

    // Seen again after expiry it is new again and logged again.
    discover(device(kBeacon, "Speaker"), {});
    EXPECT_EQ(log.count("New named device: Speaker (" + kBeacon.toString() +
                        ") advKeys=[] services=[none] mfg=none"),
              2u);
}

TEST_F(DeviceDiscoveryTest, ExpiryCanBeSwitchedOffOrShortened) {
    settings.setBool(keys::enableDeviceExpiration, false);
    create();
    discover(device(kOther, "Speaker"), {});
    advanceTo(600);
    EXPECT_EQ(discovery->peripherals().size(), 1u);

    settings.setBool(keys::enableDeviceExpiration, true);
    settings.setDouble(keys::deviceExpirationTime, 10.0);
    advanceTo(606);
    discover(device(kBeacon, "Lamp"), {});
    advanceTo(615);
    EXPECT_THAT(listed(), ElementsAre("Lamp"));
}

TEST_F(DeviceDiscoveryTest, SelectionChangesResetTheReadingState) {
    create();
    settings.setString(keys::checkedPeripheralName, "Phone");
    // Nothing chosen: every settings change drops the short-term state; the never-written
    // detection mode counts as a change from the captured default once.
    EXPECT_THAT(resets.calls, ElementsAre("short", "drop"));
    EXPECT_TRUE(log.contains("Detection mode changed to Balanced, resetting Kalman filter"));
    resets.calls.clear();

    settings.setString(keys::checkedPeripheralUUID, kPhone.toString());
    EXPECT_TRUE(log.contains("Selection changed: none -> " + kPhone.toString() + " (Phone)"));
    EXPECT_THAT(resets.calls, ElementsAre("full"));

    resets.calls.clear();
    settings.setBool(keys::soundsEnabled, true);  // unrelated: nothing resets
    settings.setString(keys::checkedPeripheralUUID, kPhone.toString().substr(0, 35) + "a");
    EXPECT_TRUE(resets.calls.size() == 1 && resets.calls[0] == "full");  // different identifier

    settings.setString(keys::checkedPeripheralUUID, "not a uuid");
    EXPECT_TRUE(log.containsFragment("-> invalid (Phone)"));
    EXPECT_FALSE(discovery->selection().identifier());

    settings.setString(keys::checkedPeripheralUUID, kPhone.toString());
    resets.calls.clear();
    settings.removeObject(keys::checkedPeripheralUUID);
    settings.setBool(keys::soundsEnabled, false);
    EXPECT_EQ(log.count("Selection cleared (was " + kPhone.toString() + ")"), 1u);
    EXPECT_THAT(resets.calls, ElementsAre("short", "short"));

    settings.setString(keys::checkedBeaconIdentity, "0118-ab");
    settings.removeObject(keys::checkedBeaconIdentity);
    EXPECT_TRUE(log.contains("Beacon identity changed: none -> 0118-ab"));
    EXPECT_TRUE(log.contains("Beacon identity changed: 0118-ab -> none"));

    resets.calls.clear();
    settings.setString(keys::detectionMode, "Responsive");
    settings.setString(keys::detectionMode, "Responsive");
    EXPECT_THAT(resets.calls, ElementsAre("short", "drop", "short"));
    EXPECT_EQ(log.count("Detection mode changed to Responsive, resetting Kalman filter"), 1u);
}

TEST_F(DeviceDiscoveryTest, ClearingAndRestoringTheTables) {
    create();
    discover(device(kBeacon, std::nullopt), beaconAdvertisement());
    discover(device(kOther, "Speaker"), {});
    discovery->clearDiscoveredDevices();
    loop.runDue();
    EXPECT_THAT(discovery->peripherals(), IsEmpty());
    EXPECT_FALSE(discovery->resolvedName(*device(kBeacon, std::nullopt)));

    discovery->restorePeripherals({device(kPhone, "Restored phone"), nullptr});
    loop.runDue();
    EXPECT_THAT(listed(), ElementsAre("Restored phone"));
}

TEST_F(DeviceDiscoveryTest, OddAdvertisementsAreHarmless) {
    track(kPhone, beaconKey());
    create();
    std::vector<AdvertisementData> odd(5);
    odd[0].manufacturerData = std::vector<std::uint8_t>{};
    odd[1].manufacturerData = std::vector<std::uint8_t>{0xBE};
    odd[2].manufacturerData = std::vector<std::uint8_t>(4096, 0xBE);
    odd[3].serviceUUIDs = std::vector<std::string>{"", std::string("\0\xFF", 2), "180F"};
    odd[4].keys = {"", "z", "a", std::string(1000, 'k')};
    for (const auto& advertisement : odd) {
        discover(device(kOther, std::string("\xF0\x28\x8C\xBC")), advertisement);
        discover(device(kBeacon, std::nullopt), advertisement, 0);
        discover(device(kPhone, std::nullopt), advertisement, -200);
    }
    discover(nullptr, {});
    EXPECT_EQ(discovery->peripherals().size(), 1u);
    EXPECT_EQ(readings.values.size(), 5u);
}

// The world and discovery together, the way the scanner will wire them.
class ForwardingDelegate : public BleCentralDelegate {
  public:
    explicit ForwardingDelegate(DeviceDiscovery& discovery) : discovery_(discovery) {}
    void centralDidUpdateState(BleManagerState) override {}
    void centralWillRestoreState(const BleRestoredState&) override {}
    void centralDidDiscover(const PeripheralRef& peripheral, const AdvertisementData& advertisement,
                            int rssi) override {
        discovery_.handleDiscovery(peripheral, advertisement, rssi);
    }
    void centralDidConnect(const PeripheralRef&) override {}
    void centralDidFailToConnect(const PeripheralRef&, const std::optional<std::string>&) override {
    }
    void centralDidDisconnect(const PeripheralRef&, const std::optional<std::string>&) override {}
    void peripheralDidReadRSSI(const PeripheralRef&, int,
                               const std::optional<std::string>&) override {}

  private:
    DeviceDiscovery& discovery_;
};

TEST_F(DeviceDiscoveryTest, InTheSimulatedWorld) {
    sim::SimBluetoothConfig config;
    sim::SimDeviceConfig phone;
    phone.identifier = kPhone;
    phone.name = "Alice's phone";
    phone.rssi = {{0, -55.0}, {100, -75.0}};
    phone.advertisingInterval = 1.0;
    sim::SimDeviceConfig beacon;
    beacon.identifier = kBeacon;
    beacon.manufacturerData = beaconAdvertisement().manufacturerData;
    beacon.rssi = {{0, -70.0}};
    beacon.addressChanges = {{50, kBeaconRotated}};
    sim::SimDeviceConfig passerby;
    passerby.identifier = kOther;
    passerby.name = "Passer-by";
    passerby.rssi = {{0, -80.0}, {20, std::nullopt}};
    config.devices = {phone, beacon, passerby};
    sim::SimBluetoothWorld world(clock, loop, config);
    sim::SimExecutor bluetooth{loop};

    track(kPhone);
    create();
    ForwardingDelegate forward(*discovery);
    auto central = world.createCentral(forward, bluetooth, {});
    loop.runDue();
    central->scanForPeripherals(true);

    advanceTo(89.5);
    EXPECT_EQ(readings.values.size(), 90u);
    EXPECT_EQ(readings.values.front(), -55);
    EXPECT_EQ(readings.values.back(), -73);  // 89 s along the way to -75
    // The beacon's old address left the list when it reappeared under the new one.
    EXPECT_THAT(listed(), ElementsAre("Alice's phone", "Passer-by",
                                      "Radius Networks \u00B7 10111213 \u00B7 8225/8739"));
    EXPECT_EQ(discovery->peripherals()[2]->identifier(), kBeaconRotated);

    advanceTo(90);  // last heard at 19 s, expired at the 90 s tick
    EXPECT_THAT(listed(),
                ElementsAre("Alice's phone", "Radius Networks \u00B7 10111213 \u00B7 8225/8739"));
    EXPECT_EQ(connections.triggers.size(), 91u);
}

}  // namespace
}  // namespace ambleguard
