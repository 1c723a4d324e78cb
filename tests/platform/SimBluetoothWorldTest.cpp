#include "platform/sim/SimBluetoothWorld.h"
#include "support/RecordingBleDelegate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numeric>

namespace ambleguard::sim {
namespace {

using LinkKind = test::RecordingBleDelegate::LinkEvent::Kind;

const Uuid kPhone = Uuid::fromHalves(0x1111, 1);
const Uuid kBeacon = Uuid::fromHalves(0x2222, 2);

SimDeviceConfig device(Uuid identifier, std::vector<SimRssiPoint> rssi, double interval = 1.0) {
    SimDeviceConfig config;
    config.identifier = identifier;
    config.name = "Phone";
    config.rssi = std::move(rssi);
    config.advertisingInterval = interval;
    return config;
}

class SimBluetoothWorldTest : public ::testing::Test {
  protected:
    SimClock clock;
    SimMainLoop loop{clock};
    SimExecutor bluetooth{loop};
    test::RecordingBleDelegate delegate{clock};
    std::unique_ptr<SimBluetoothWorld> world;
    std::unique_ptr<BleCentral> central;
    Instant start = clock.now();

    void build(SimBluetoothConfig config) {
        start = clock.now();
        world = std::make_unique<SimBluetoothWorld>(clock, loop, std::move(config));
    }
    BleCentral& open(std::optional<std::string> restoreIdentifier = "restore-id") {
        central = world->createCentral(delegate, bluetooth, {true, restoreIdentifier});
        loop.runDue();
        return *central;
    }
    BleCentral& openAndScan(bool allowDuplicates = true) {
        open();
        central->scanForPeripherals(allowDuplicates);
        return *central;
    }
    void advanceTo(double seconds) { loop.advanceTo(addSeconds(start, seconds)); }
    double since(Instant at) const { return secondsBetween(start, at); }
    std::vector<LinkKind> linkKinds() const {
        std::vector<LinkKind> kinds;
        for (const auto& event : delegate.links) {
            kinds.push_back(event.kind);
        }
        return kinds;
    }
};

TEST_F(SimBluetoothWorldTest, AdvertisementsFollowTheTimelineOnTheirGrid) {
    SimBluetoothConfig config;
    auto phone = device(kPhone, {{0, -50.0}, {10, -70.0}, {20, std::nullopt}, {30, -55.0}});
    phone.advertisingPhase = 0.5;
    phone.manufacturerData = std::vector<std::uint8_t>{0x4C, 0x00, 0x10};
    config.devices.push_back(phone);
    build(config);
    openAndScan();
    advanceTo(40);

    ASSERT_EQ(delegate.discoveries.size(), 30u);  // 0.5 ... 19.5 and 30.5 ... 39.5
    EXPECT_DOUBLE_EQ(since(delegate.discoveries.front().at), 0.5);
    EXPECT_DOUBLE_EQ(since(delegate.discoveries[19].at), 19.5);
    EXPECT_DOUBLE_EQ(since(delegate.discoveries[20].at), 30.5);
    EXPECT_EQ(delegate.discoveries[5].rssi, -61);   // 5.5 s: -50 + (-20 * 0.55)
    EXPECT_EQ(delegate.discoveries[15].rssi, -70);  // held after the last valued point
    const auto& first = delegate.discoveries.front();
    EXPECT_EQ(first.peripheral->identifier(), kPhone);
    EXPECT_EQ(first.peripheral->name(), "Phone");
    EXPECT_EQ(first.advertisement.manufacturerData, phone.manufacturerData);
    EXPECT_EQ(first.advertisement.keys,
              (std::vector<std::string>{"ManufacturerData", "LocalName"}));
}

TEST_F(SimBluetoothWorldTest, ARecordOfCreatedCentralsStaysBoundedOverManyResets) {
    build(SimBluetoothConfig{});
    const int total = 1000;
    for (int i = 0; i < total; ++i) {
        central = world->createCentral(delegate, bluetooth, {true, std::to_string(i)});
        loop.runDue();
    }
    EXPECT_EQ(world->stats().centralsCreated, total);
    ASSERT_EQ(world->createdCentrals().size(), SimBluetoothWorld::kKeptCentralRecords);
    EXPECT_EQ(world->createdCentrals().back().restoreIdentifier, std::to_string(total - 1));
    EXPECT_EQ(world->liveCentrals(), 1u);
}

TEST_F(SimBluetoothWorldTest, ScanningControlsWhatIsSentAndDuplicatesAreFiltered) {
    SimBluetoothConfig config;
    config.devices.push_back(device(kPhone, {{0, -60.0}}));
    config.devices.push_back(device(kBeacon, {{0, -70.0}}));
    build(config);
    open();
    advanceTo(100);
    EXPECT_EQ(world->stats().advertisementsSent, 0u);  // nobody listening, nothing simulated

    central->scanForPeripherals(false);
    advanceTo(110);
    EXPECT_EQ(delegate.discoveries.size(), 2u);  // once per device per scan

    central->scanForPeripherals(false);  // a new scan reports again
    advanceTo(120);
    EXPECT_EQ(delegate.discoveries.size(), 4u);

    central->stopScan();
    advanceTo(130);
    EXPECT_EQ(delegate.discoveries.size(), 4u);
    EXPECT_FALSE(world->isScanning());

    central->scanForPeripherals(true);
    advanceTo(139.5);
    EXPECT_EQ(delegate.discoveries.size(), 4u + 20u);  // 130 ... 139, both devices
}

TEST_F(SimBluetoothWorldTest, CoalescedReportsRepeatAfterTheConfiguredInterval) {
    SimBluetoothConfig config;
    config.duplicateReportInterval = 5.0;
    config.devices.push_back(device(kPhone, {{0, -60.0}}));
    build(config);
    openAndScan(false);
    advanceTo(12);
    ASSERT_EQ(delegate.discoveries.size(), 3u);
    EXPECT_DOUBLE_EQ(since(delegate.discoveries[1].at), 5.0);
    EXPECT_DOUBLE_EQ(since(delegate.discoveries[2].at), 10.0);
}

std::vector<int> noisyReadings(std::uint64_t seed) {
    SimClock clock;
    SimMainLoop loop{clock};
    SimExecutor bluetooth{loop};
    test::RecordingBleDelegate delegate{clock};
    SimBluetoothConfig config;
    auto phone = device(kPhone, {{0, -60.0}});
    phone.noiseSigma = 4.0;
    phone.noiseSeed = seed;
    config.devices.push_back(phone);
    SimBluetoothWorld world(clock, loop, config);
    auto central = world.createCentral(delegate, bluetooth, {});
    loop.runDue();
    central->scanForPeripherals(true);
    loop.advanceBy(199.5);
    std::vector<int> values;
    for (const auto& discovery : delegate.discoveries) {
        values.push_back(discovery.rssi);
    }
    return values;
}

TEST(SimBluetoothWorldNoiseTest, NoiseIsGaussianAndTheSameForTheSameSeed) {
    const auto first = noisyReadings(7);
    ASSERT_EQ(first.size(), 200u);
    EXPECT_EQ(noisyReadings(7), first);
    EXPECT_NE(noisyReadings(8), first);

    const double mean = std::accumulate(first.begin(), first.end(), 0.0) / 200.0;
    double variance = 0;
    for (const int value : first) {
        variance += (value - mean) * (value - mean) / 200.0;
    }
    EXPECT_NEAR(mean, -60.0, 1.0);
    EXPECT_NEAR(std::sqrt(variance), 4.0, 1.0);
}

TEST_F(SimBluetoothWorldTest, ARotatingBeaconAdvertisesUnderEachAddressInTurn) {
    SimBluetoothConfig config;
    auto beacon = device(kBeacon, {{0, -65.0}});
    beacon.name.reset();
    beacon.addressChanges = {{20, std::nullopt}, {10, kPhone}};
    config.devices.push_back(beacon);
    build(config);
    openAndScan();
    advanceTo(25);

    ASSERT_EQ(delegate.discoveries.size(), 26u);
    EXPECT_EQ(delegate.discoveries[9].peripheral->identifier(), kBeacon);
    EXPECT_EQ(delegate.discoveries[10].peripheral->identifier(), kPhone);
    const Uuid drawn = delegate.discoveries[20].peripheral->identifier();
    EXPECT_NE(drawn, kBeacon);
    EXPECT_NE(drawn, kPhone);
    EXPECT_EQ(world->currentIdentifier(0), drawn);
    EXPECT_FALSE(delegate.discoveries[20].peripheral->name().has_value());
    // Every address the platform has seen can be retrieved later.
    EXPECT_EQ(central->retrievePeripherals({kBeacon, drawn, Uuid::fromHalves(9, 9)}).size(), 2u);
}

TEST_F(SimBluetoothWorldTest, CentralsLearnTheirStateLaterAndFollowPowerChanges) {
    SimBluetoothConfig config;
    config.stateDeterminationDelay = 0.2;
    config.radioChanges = {{5, BleManagerState::poweredOff},
                           {8, BleManagerState::resetting},
                           {10, BleManagerState::poweredOn}};
    config.devices.push_back(device(kPhone, {{0, -60.0}}));
    build(config);
    central = world->createCentral(delegate, bluetooth, {});
    loop.runDue();
    EXPECT_EQ(central->state(), BleManagerState::unknown);
    central->scanForPeripherals(true);  // refused: not powered on yet
    EXPECT_EQ(world->stats().refusedWhileNotPoweredOn, 1);

    advanceTo(0.2);
    EXPECT_EQ(central->state(), BleManagerState::poweredOn);
    central->scanForPeripherals(true);
    advanceTo(4.9);
    EXPECT_EQ(delegate.discoveries.size(), 4u);  // 1, 2, 3, 4

    advanceTo(5);
    EXPECT_EQ(central->state(), BleManagerState::poweredOff);
    EXPECT_FALSE(world->isScanning());
    advanceTo(12);
    EXPECT_EQ(delegate.states, (std::vector<BleManagerState>{
                                   BleManagerState::poweredOn, BleManagerState::poweredOff,
                                   BleManagerState::resetting, BleManagerState::poweredOn}));
    EXPECT_EQ(delegate.discoveries.size(), 4u);  // power-on does not restart a scan by itself
    central->scanForPeripherals(true);
    advanceTo(13);
    EXPECT_EQ(delegate.discoveries.size(), 6u);  // 12 and 13
}

TEST_F(SimBluetoothWorldTest, PermissionOverridesThePowerState) {
    SimBluetoothConfig config;
    config.initialAuthorization = BleAuthorization::notDetermined;
    config.authorizationPromptAnswer = BleAuthorization::allowedAlways;
    config.promptDelay = 3.0;
    config.authorizationChanges = {{10, BleAuthorization::denied}};
    build(config);
    open();
    EXPECT_EQ(world->authorization(), BleAuthorization::notDetermined);
    EXPECT_EQ(central->state(), BleManagerState::unknown);
    advanceTo(3);
    EXPECT_EQ(world->authorization(), BleAuthorization::allowedAlways);
    EXPECT_EQ(central->state(), BleManagerState::poweredOn);
    advanceTo(10);
    EXPECT_EQ(central->state(), BleManagerState::unauthorized);
    world->setRadioState(BleManagerState::poweredOff);  // hidden behind the missing permission
    world->setAuthorization(BleAuthorization::allowedAlways);
    loop.runDue();
    EXPECT_EQ(delegate.states, (std::vector<BleManagerState>{
                                   BleManagerState::unknown, BleManagerState::poweredOn,
                                   BleManagerState::unauthorized, BleManagerState::poweredOff}));
}

TEST_F(SimBluetoothWorldTest, RestorationComesOnceBeforeTheFirstStateWithItsLinks) {
    SimBluetoothConfig config;
    config.devices.push_back(device(kPhone, {{0, -60.0}}));
    const Uuid stranger = Uuid::fromHalves(7, 7);
    config.restoration = SimRestoration{
        "restore-id", std::vector<SimRestoredPeripheral>{{kPhone, true}, {stranger, false}},
        std::vector<std::string>{"180F"}, std::map<std::string, std::string>{{"duplicates", "1"}}};
    build(config);

    auto other = world->createCentral(delegate, bluetooth, {true, "another-id"});
    loop.runDue();
    EXPECT_TRUE(delegate.restored.empty());
    other.reset();

    delegate.order.clear();
    delegate.states.clear();
    open();
    ASSERT_EQ(delegate.restored.size(), 1u);
    const BleRestoredState& restored = delegate.restored.front();
    ASSERT_TRUE(restored.peripherals.has_value());
    ASSERT_EQ(restored.peripherals->size(), 2u);
    EXPECT_EQ((*restored.peripherals)[0]->state(), PeripheralConnectionState::connected);
    EXPECT_EQ((*restored.peripherals)[1]->identifier(), stranger);
    EXPECT_EQ(restored.scanServices, std::vector<std::string>{"180F"});
    EXPECT_EQ(restored.scanOptions->at("duplicates"), "1");
    EXPECT_EQ(delegate.order, (std::vector<std::string>{"restore", "state"}));
    EXPECT_EQ(delegate.states, std::vector<BleManagerState>{BleManagerState::poweredOn});

    // The kept link is adopted by connecting: it reports connected at once.
    central->connect((*restored.peripherals)[0]);
    advanceTo(1);
    EXPECT_EQ(linkKinds(), std::vector<LinkKind>{LinkKind::connected});

    auto later = world->createCentral(delegate, bluetooth, {true, "restore-id"});
    loop.runDue();
    EXPECT_EQ(delegate.restored.size(), 1u);
}

TEST_F(SimBluetoothWorldTest, LinksConnectReadTheTimelineAndDropOutOfRange) {
    SimBluetoothConfig config;
    auto phone = device(kPhone, {{0, -60.0}, {10, -70.0, false}, {20, std::nullopt}});
    phone.knownToSystem = true;
    config.devices.push_back(phone);
    build(config);
    open();
    const auto found = central->retrievePeripherals({kPhone});
    ASSERT_EQ(found.size(), 1u);
    const PeripheralRef peripheral = found.front();

    advanceTo(1);
    central->connect(peripheral);
    EXPECT_EQ(peripheral->state(), PeripheralConnectionState::connecting);
    advanceTo(1.499);
    EXPECT_TRUE(delegate.links.empty());
    advanceTo(1.5);
    ASSERT_EQ(linkKinds(), std::vector<LinkKind>{LinkKind::connected});
    EXPECT_EQ(peripheral->state(), PeripheralConnectionState::connected);

    advanceTo(15);  // in range but no longer advertising: the link still reads
    central->readRSSI(peripheral);
    advanceTo(15.05);
    ASSERT_EQ(delegate.links.size(), 2u);
    EXPECT_EQ(delegate.links[1].kind, LinkKind::rssi);
    EXPECT_EQ(delegate.links[1].rssi, -70);
    EXPECT_FALSE(delegate.links[1].error);

    advanceTo(21.999);  // out of range from 20; the link times out 2 s later
    EXPECT_EQ(delegate.links.size(), 2u);
    advanceTo(22);
    ASSERT_EQ(delegate.links.size(), 3u);
    EXPECT_EQ(delegate.links[2].kind, LinkKind::disconnected);
    EXPECT_TRUE(delegate.links[2].error.has_value());
    EXPECT_EQ(peripheral->state(), PeripheralConnectionState::disconnected);

    central->readRSSI(peripheral);  // no link: nothing answers
    advanceTo(30);
    EXPECT_EQ(delegate.links.size(), 3u);
    EXPECT_EQ(world->stats().rssiReadsWithoutLink, 1);
}

TEST_F(SimBluetoothWorldTest, ConnectWaitsForTheDeviceAndOutcomesAreConfigurable) {
    const Uuid failing = Uuid::fromHalves(3, 3);
    const Uuid silent = Uuid::fromHalves(4, 4);
    SimBluetoothConfig config;
    auto late = device(kPhone, {{10, -60.0}});
    late.knownToSystem = true;
    auto refuses = device(failing, {{0, -60.0}});
    refuses.knownToSystem = true;
    refuses.connection.outcome = SimConnectOutcome::fail;
    refuses.connection.failureError = "Peer refused";
    auto hangs = device(silent, {{0, -60.0}});
    hangs.knownToSystem = true;
    hangs.connection.outcome = SimConnectOutcome::neverComplete;
    hangs.connection.readError = "not used";
    config.devices = {late, refuses, hangs};
    build(config);
    open();
    const auto peripherals = central->retrievePeripherals({kPhone, failing, silent});
    ASSERT_EQ(peripherals.size(), 3u);
    for (const auto& peripheral : peripherals) {
        central->connect(peripheral);
    }
    advanceTo(9.9);
    ASSERT_EQ(delegate.links.size(), 1u);
    EXPECT_EQ(delegate.links[0].kind, LinkKind::failed);
    EXPECT_EQ(delegate.links[0].error, "Peer refused");
    EXPECT_DOUBLE_EQ(since(delegate.links[0].at), 0.5);
    EXPECT_EQ(peripherals[0]->state(), PeripheralConnectionState::connecting);

    advanceTo(10.5);
    ASSERT_EQ(delegate.links.size(), 2u);
    EXPECT_EQ(delegate.links[1].kind, LinkKind::connected);
    EXPECT_EQ(delegate.links[1].peripheral->identifier(), kPhone);

    advanceTo(100);
    EXPECT_EQ(peripherals[2]->state(), PeripheralConnectionState::connecting);
    central->readRSSI(peripherals[2]);
    central->cancelPeripheralConnection(peripherals[2]);  // pending: ends quietly
    central->cancelPeripheralConnection(peripherals[0]);  // live: reports the disconnection
    advanceTo(101);
    EXPECT_EQ(peripherals[2]->state(), PeripheralConnectionState::disconnected);
    ASSERT_EQ(delegate.links.size(), 3u);
    EXPECT_EQ(delegate.links[2].kind, LinkKind::disconnected);
    EXPECT_FALSE(delegate.links[2].error);
}

TEST_F(SimBluetoothWorldTest, FailingLinkReadsReportTheirError) {
    SimBluetoothConfig config;
    auto phone = device(kPhone, {{0, -60.0}});
    phone.knownToSystem = true;
    phone.connection.readError = "Link busy";
    config.devices.push_back(phone);
    build(config);
    open();
    const auto peripheral = central->retrievePeripherals({kPhone}).at(0);
    central->connect(peripheral);
    advanceTo(1);
    central->readRSSI(peripheral);
    advanceTo(2);
    ASSERT_EQ(linkKinds(), (std::vector<LinkKind>{LinkKind::connected, LinkKind::rssi}));
    EXPECT_EQ(delegate.links[1].error, "Link busy");
}

TEST_F(SimBluetoothWorldTest, ADroppedCentralHearsNothingMoreAndLosesItsLinks) {
    SimBluetoothConfig config;
    auto phone = device(kPhone, {{0, -60.0}});
    phone.knownToSystem = true;
    config.devices.push_back(phone);
    build(config);
    openAndScan();
    const auto peripheral = central->retrievePeripherals({kPhone}).at(0);
    central->connect(peripheral);
    advanceTo(1);
    central->readRSSI(peripheral);
    const std::size_t heard = delegate.discoveries.size() + delegate.links.size();
    central.reset();  // with a reading and advertisements still on their way
    advanceTo(10);
    EXPECT_EQ(delegate.discoveries.size() + delegate.links.size(), heard);
    EXPECT_EQ(peripheral->state(), PeripheralConnectionState::disconnected);
    EXPECT_EQ(world->liveCentrals(), 0u);
    EXPECT_FALSE(world->isScanning());
    EXPECT_EQ(world->stats().advertisementsSent, 2u);  // 0 and 1, then nothing
}

TEST_F(SimBluetoothWorldTest, ADayOfAdvertisingAtFiveHertz) {
    SimBluetoothConfig config;
    auto phone = device(kPhone, {{0, -60.0}}, 0.2);
    phone.noiseSigma = 3;
    config.devices.push_back(phone);
    build(config);
    delegate.keepDiscoveries = false;
    openAndScan();
    advanceTo(86400 - 0.1);
    EXPECT_EQ(delegate.discoveryCount, 432000u);
    EXPECT_EQ(loop.pendingCount(), 1u);  // one event per device, never an expanded timeline
}

}  // namespace
}  // namespace ambleguard::sim
