#include "bluetooth/CentralLifecycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/ScannerWorld.h"

namespace ambleguard {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

const Uuid kPhone = Uuid::fromHalves(0xA1, 1);
const Uuid kOther = Uuid::fromHalves(0xC4, 4);

constexpr std::string_view kDenied =
    "Bluetooth access denied. Please enable in System Settings > Privacy & Security > Bluetooth";

class CentralLifecycleTest : public ::testing::Test, protected test::ScannerWorld {
  protected:
    void build(sim::SimBluetoothConfig config = {}) {
        buildBluetooth(std::move(config));
        buildScanner();
    }
    // Scanning allowed, the central powered on and the monitoring scan running; the recorders
    // start empty.
    void scanningWorld(sim::SimBluetoothConfig config = {}) {
        settings.setBool(keys::canScan, true);
        build(std::move(config));
        scanner->startScanning();
        loop.advanceBy(1.0);
        ASSERT_TRUE(scanning());
        actions.clear();
        log.clear();
    }
    sim::SimBluetoothWorld& world() { return *bluetooth; }
    bool has(std::string_view call) const { return actions.count(call) > 0; }
    std::vector<std::string> listed() const {
        std::vector<std::string> names;
        for (const auto& peripheral : scanner->peripherals()) {
            names.push_back(peripheral->name().value_or("<nameless>"));
        }
        return names;
    }
};

TEST_F(CentralLifecycleTest, AFirstStartCreatesTheCentralAndScansOnceItIsPoweredOn) {
    settings.setBool(keys::canScan, true);
    settings.setBool(keys::scanAllowDuplicates, true);
    settings.setString(keys::checkedPeripheralUUID, kPhone.toString());
    settings.setString(keys::checkedPeripheralName, "Work phone");
    sim::SimBluetoothConfig config;
    config.stateDeterminationDelay = 0.2;
    build(config);

    scanner->startScanning();
    ASSERT_EQ(world().createdCentrals().size(), 1u);
    EXPECT_TRUE(world().createdCentrals()[0].showPowerAlert);
    EXPECT_EQ(world().createdCentrals()[0].restoreIdentifier, "com.quillon.Ambleguard.central");
    EXPECT_TRUE(log.contains("Cannot start monitoring scan - Bluetooth not powered on (state: 0)"));
    EXPECT_TRUE(scanner->isPresenceTimerRunning());

    loop.advanceBy(0.2);
    EXPECT_TRUE(log.contains("Bluetooth state: Powered On"));
    EXPECT_FALSE(scanning());
    loop.advanceBy(0.099);
    EXPECT_FALSE(scanning());
    loop.advanceBy(0.001);
    EXPECT_TRUE(scanning());
    EXPECT_TRUE(world().isScanning());
    EXPECT_TRUE(log.contains("Tracked device: Work phone (" + kPhone.toString() +
                             ", beacon identity: none - tracked by identifier)"));
    EXPECT_TRUE(log.contains("Scan duplicates: ON (scanAllowDuplicates)"));

    scanner->startScanning();
    EXPECT_EQ(world().stats().scanStarts, 1);
    EXPECT_EQ(log.count("Starting continuous scanning for monitoring"), 1u);
}

TEST_F(CentralLifecycleTest, StartingWhileScanningIsNotAllowedStopsTheScanButNotTheTimers) {
    scanningWorld();
    settings.setBool(keys::canScan, false);
    scanner->startScanning();
    loop.runDue();
    EXPECT_TRUE(log.contains("Scan not allowed, stopping scan."));
    EXPECT_TRUE(log.contains("Stopping scan."));
    EXPECT_FALSE(scanning());
    EXPECT_FALSE(world().isScanning());
    EXPECT_TRUE(scanner->isPresenceTimerRunning());
    EXPECT_THAT(actions.calls(), IsEmpty());  // the connection feed is left alone too
}

TEST_F(CentralLifecycleTest, ASecondStartWhileScanningDoesNothingInEitherMode) {
    scanningWorld();
    scanner->startScanning();
    EXPECT_EQ(world().stats().scanStarts, 1);

    scanner->stopScanning();
    scanner->setScanMode(true);
    EXPECT_TRUE(log.contains("Scanning mode set to: onboarding"));
    EXPECT_FALSE(scanner->connectionFeed().onboardingCalibrationConnectAllowed());
    scanner->startScanning();
    scanner->startScanning();
    EXPECT_EQ(world().stats().scanStarts, 2);
    EXPECT_EQ(log.count("Starting continuous scanning for onboarding"), 1u);
}

TEST_F(CentralLifecycleTest, TheOnboardingScanEmptiesTheDeviceListAndMonitoringKeepsIt) {
    sim::SimBluetoothConfig config;
    sim::SimDeviceConfig speaker;
    speaker.identifier = kOther;
    speaker.name = "Kitchen speaker";
    speaker.rssi = {{0.0, -60.0}, {1.5, std::nullopt}};  // heard only at the start
    config.devices.push_back(speaker);
    scanningWorld(config);
    ASSERT_THAT(listed(), ElementsAre("Kitchen speaker"));
    std::vector<std::size_t> published;
    auto observer = scanner->onPeripheralsChanged(
        [&](const std::vector<PeripheralRef>& list) { published.push_back(list.size()); });

    loop.advanceBy(5);
    scanner->stopScanning();
    scanner->startScanning();
    loop.advanceBy(1);
    EXPECT_THAT(listed(), ElementsAre("Kitchen speaker"));

    scanner->stopScanning();
    scanner->setScanMode(true);
    scanner->startScanning();
    loop.advanceBy(1);
    EXPECT_THAT(listed(), IsEmpty());
    EXPECT_THAT(published, ElementsAre(0u));
}

TEST_F(CentralLifecycleTest, PowerOffWhileScanningStopsEverythingAndPowerOnResumes) {
    scanningWorld();
    std::vector<bool> scanningSeen;
    auto observer = scanner->isScanning().observe([&](bool on) { scanningSeen.push_back(on); });

    world().setRadioState(BleManagerState::poweredOff);
    loop.runDue();
    EXPECT_FALSE(scanning());
    EXPECT_EQ(error(), "Bluetooth is powered off");
    EXPECT_FALSE(scanner->isPresenceTimerRunning());
    EXPECT_EQ(presence(), "Absent");
    EXPECT_TRUE(log.contains("Presence: Present -> Absent (Bluetooth off)"));
    EXPECT_TRUE(log.contains("Bluetooth state: Powered Off"));
    EXPECT_TRUE(log.contains("RSSI Failure: Bluetooth powered off (Consecutive: 1)"));
    // No reading ever arrived, so nothing says the device is near.
    EXPECT_TRUE(log.contains("(Lock Screen) Bluetooth state: Powered Off, device not nearby"));
    EXPECT_EQ(actions.calls(),
              (std::vector<std::string>{"deviceConfirmedGone Bluetooth off, Present -> Absent",
                                        "play deviceLeft", "performAwayAction"}));

    world().setRadioState(BleManagerState::poweredOn);
    loop.runDue();
    EXPECT_EQ(error(), std::nullopt);
    EXPECT_TRUE(scanner->isPresenceTimerRunning());
    loop.advanceBy(0.099);
    EXPECT_FALSE(scanning());
    loop.advanceBy(0.001);
    EXPECT_TRUE(scanning());
    EXPECT_THAT(scanningSeen, ElementsAre(false, true));
}

TEST_F(CentralLifecycleTest, UnauthorizedDeniesAccessButSparesTheScreenWhenTheDeviceWasNear) {
    scanningWorld();
    readings(-55, 3);
    actions.clear();

    world().setAuthorization(BleAuthorization::denied);
    loop.runDue();
    EXPECT_EQ(error(), kDenied);
    EXPECT_EQ(scanner->bluetoothPermissionStatus().get(), BleAuthorization::denied);
    EXPECT_FALSE(scanning());
    EXPECT_EQ(presence(), "Absent");
    EXPECT_TRUE(log.contains("Presence: Present -> Absent (Bluetooth unauthorized)"));
    EXPECT_TRUE(log.contains("Bluetooth state: Unauthorized"));
    EXPECT_TRUE(log.contains("RSSI Failure: Bluetooth unauthorized (Consecutive: 1)"));
    EXPECT_TRUE(log.contains(
        "Not locking screen despite Bluetooth unauthorized - device likely nearby (last RSSI: "
        "-55)"));
    EXPECT_THAT(actions.calls(), Not(Contains("performAwayAction")));
}

TEST_F(CentralLifecycleTest, UnavailableStatesStopScanningWithoutChangingPresence) {
    for (const auto state :
         {BleManagerState::unknown, BleManagerState::resetting, BleManagerState::unsupported}) {
        SCOPED_TRACE(rawValue(state));
        scanningWorld();
        world().setRadioState(state);
        loop.runDue();
        EXPECT_EQ(error(), "Bluetooth is not available");
        EXPECT_FALSE(scanning());
        EXPECT_FALSE(scanner->isPresenceTimerRunning());
        EXPECT_EQ(presence(), "Present");
        EXPECT_TRUE(log.contains("RSSI Failure: Bluetooth unavailable (Consecutive: 1)"));
        EXPECT_TRUE(log.contains("(Lock Screen) Bluetooth not available, device not nearby"));
        EXPECT_TRUE(has("performAwayAction"));
    }
}

TEST_F(CentralLifecycleTest, AResetRecreatesTheCentralHalfASecondLaterAndHonoursItsCooldown) {
    sim::SimBluetoothConfig config;
    config.stateDeterminationDelay = 0.3;
    scanningWorld(config);
    readings(-60, 3);
    int publications = 0;
    auto observer =
        scanner->onPeripheralsChanged([&](const std::vector<PeripheralRef>&) { ++publications; });

    const double resetAt = elapsed();
    scanner->resetBluetooth();
    EXPECT_TRUE(log.contains("Resetting centralManager (enhanced strategy)"));
    EXPECT_EQ(scanner->lifecycle().centralManager(), nullptr);
    EXPECT_EQ(world().liveCentrals(), 0u);
    const auto cleared = scanner->pipeline().signalSnapshot();
    EXPECT_EQ(cleared.filterEstimate, std::nullopt);
    EXPECT_THAT(cleared.bufferValues, IsEmpty());
    loop.runDue();
    EXPECT_FALSE(scanning());
    EXPECT_FALSE(scanner->isPresenceTimerRunning());

    advanceTo(resetAt + 0.499);
    EXPECT_EQ(world().createdCentrals().size(), 1u);
    advanceTo(resetAt + 0.5);
    ASSERT_EQ(world().createdCentrals().size(), 2u);
    EXPECT_EQ(world().createdCentrals()[1].restoreIdentifier, "com.quillon.Ambleguard.central");
    EXPECT_EQ(publications, 1);
    // The new central learns its state only later; scanning follows its power-on.
    advanceTo(resetAt + 0.8);
    EXPECT_TRUE(scanner->isCentralPoweredOn());
    advanceTo(resetAt + 0.899);
    EXPECT_FALSE(scanning());
    advanceTo(resetAt + 0.9);
    EXPECT_TRUE(scanning());

    advanceTo(resetAt + 10);
    scanner->resetBluetooth();
    EXPECT_TRUE(log.contains("Bluetooth reset skipped due to cooldown period (20.0s remaining)"));
    EXPECT_NE(scanner->lifecycle().centralManager(), nullptr);
    advanceTo(resetAt + 29.999);
    scanner->resetBluetooth();
    EXPECT_NE(scanner->lifecycle().centralManager(), nullptr);
    advanceTo(resetAt + 30);
    scanner->resetBluetooth();
    EXPECT_EQ(scanner->lifecycle().centralManager(), nullptr);
    EXPECT_EQ(log.count("Resetting centralManager (enhanced strategy)"), 2u);
}

TEST_F(CentralLifecycleTest, AStateChangeFromADroppedCentralIsIgnored) {
    scanningWorld();
    world().setRadioState(BleManagerState::poweredOff);
    ASSERT_TRUE(loop.runNext());  // the old central's callback, which posts its hop
    scanner->resetBluetooth();
    loop.runDue();
    EXPECT_EQ(error(), std::nullopt);
    EXPECT_EQ(presence(), "Present");
    EXPECT_FALSE(log.contains("Bluetooth state: Powered Off"));
}

TEST_F(CentralLifecycleTest, RestorationListsTheKeptDevicesAndReconnectsTheTrackedOne) {
    for (const bool keptLink : {true, false}) {
        SCOPED_TRACE(keptLink);
        settings.setBool(keys::canScan, true);
        settings.setString(keys::checkedPeripheralUUID, kPhone.toString());
        sim::SimBluetoothConfig config;
        sim::SimDeviceConfig phone;
        phone.identifier = kPhone;
        phone.name = "Work phone";
        phone.rssi = {{0.0, -50.0, false}};  // near, but not advertising
        config.devices.push_back(phone);
        sim::SimRestoration restoration;
        restoration.restoreIdentifier = "com.quillon.Ambleguard.central";
        restoration.peripherals =
            std::vector<sim::SimRestoredPeripheral>{{kPhone, keptLink}, {kOther, false}};
        restoration.scanServices = std::vector<std::string>{"180F"};
        restoration.scanOptions = std::map<std::string, std::string>{{"AllowDuplicates", "1"}};
        config.restoration = restoration;
        build(config);
        actions.clear();
        log.clear();

        scanner->setupCentralManager();
        loop.runDue();
        EXPECT_TRUE(log.contains("Restoring central manager state"));
        EXPECT_TRUE(log.contains("Restored scan services: [180F]"));
        EXPECT_TRUE(log.contains("Restored scan options: {AllowDuplicates = 1}"));
        EXPECT_THAT(listed(), ElementsAre("<nameless>", "Work phone"));
        EXPECT_EQ(log.contains("Connect attempt (trigger: state-restore)"), keptLink);
        loop.advanceBy(0.1);
        EXPECT_TRUE(scanning());
    }
}

TEST_F(CentralLifecycleTest, PermissionChecksPublishTheAuthorization) {
    struct Case {
        BleAuthorization authorization;
        bool mayScan;
        bool createsCentral;
    };
    for (const Case& c : {Case{BleAuthorization::notDetermined, true, true},
                          Case{BleAuthorization::restricted, false, false},
                          Case{BleAuthorization::denied, false, false},
                          Case{BleAuthorization::allowedAlways, true, false}}) {
        SCOPED_TRACE(rawValue(c.authorization));
        sim::SimBluetoothConfig config;
        config.initialAuthorization = c.authorization;
        build(config);
        EXPECT_EQ(scanner->bluetoothPermissionStatus().get(), c.authorization);
        EXPECT_EQ(scanner->checkBluetoothPermission(), c.mayScan);
        EXPECT_EQ(world().createdCentrals().size(), c.createsCentral ? 1u : 0u);
        loop.runDue();
        EXPECT_EQ(scanner->bluetoothPermissionStatus().get(), c.authorization);
        EXPECT_EQ(error() == kDenied, !c.mayScan);
    }

    world().setAuthorization(BleAuthorization::denied);
    EXPECT_EQ(scanner->refreshPermissionStatus(), BleAuthorization::denied);
    EXPECT_EQ(scanner->bluetoothPermissionStatus().get(), BleAuthorization::allowedAlways);
    loop.runDue();
    EXPECT_EQ(scanner->bluetoothPermissionStatus().get(), BleAuthorization::denied);
}

TEST_F(CentralLifecycleTest, TheSwitchAndTheTriggerStartAndStopScanning) {
    build();
    scanner->setCanScan(true);  // no central yet: nothing to start
    EXPECT_TRUE(settings.boolForKey(keys::canScan));
    EXPECT_EQ(world().createdCentrals().size(), 0u);

    settings.setBool(keys::canScan, false);
    scanner->setupCentralManager();
    loop.runDue();
    EXPECT_FALSE(scanning());
    scanner->setCanScan(true);
    EXPECT_TRUE(scanning());

    scanner->setScanTriggered(true);
    EXPECT_TRUE(scanner->isScanTriggered().get());
    scanner->setCanScan(false);
    EXPECT_TRUE(log.contains("Stopping scan permanently"));
    loop.runDue();
    EXPECT_FALSE(settings.boolForKey(keys::canScan));
    EXPECT_FALSE(scanning());
    EXPECT_FALSE(scanner->isScanTriggered().get());
    EXPECT_FALSE(scanner->isPresenceTimerRunning());

    settings.setBool(keys::canScan, true);
    scanner->setScanTriggered(true);
    EXPECT_TRUE(scanning());
}

}  // namespace
}  // namespace ambleguard
