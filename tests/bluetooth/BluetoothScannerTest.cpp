#include "bluetooth/BluetoothScanner.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/ScannerWorld.h"

namespace ambleguard {
namespace {

class BluetoothScannerTest : public ::testing::Test, protected test::ScannerWorld {
  protected:
    BluetoothScannerTest() { buildScanner(); }

    // A central that is told it is powered on.
    void powerUp() {
        scanner->setupCentralManager();
        loop.runDue();
        ASSERT_TRUE(scanner->isCentralPoweredOn());
        actions.clear();
    }
};

TEST_F(BluetoothScannerTest, ThePresenceTickEvaluatesEverySecondUntilStopped) {
    // A state left over from an earlier run shows when the first evaluation happens.
    settings.setString(keys::devicePresenceState, "Absent");
    scanner->startPresenceTimer();
    loop.advanceBy(0.999);
    EXPECT_EQ(storedPresenceState(settings), "Absent");
    loop.advanceBy(0.001);
    EXPECT_EQ(storedPresenceState(settings), "Present");

    settings.setString(keys::devicePresenceState, "Absent");
    scanner->startPresenceTimer();  // restarting does not add a second tick
    loop.advanceBy(0.999);
    EXPECT_EQ(storedPresenceState(settings), "Absent");
    loop.advanceBy(0.001);
    EXPECT_EQ(storedPresenceState(settings), "Present");

    scanner->stopPresenceTimer();
    EXPECT_FALSE(scanner->isPresenceTimerRunning());
    settings.setString(keys::devicePresenceState, "Absent");
    loop.advanceBy(5);
    EXPECT_EQ(storedPresenceState(settings), "Absent");

    scanner->startPresenceTimer();
    scanner.reset();  // a released scanner leaves no tick behind
    loop.advanceBy(5);
    EXPECT_EQ(storedPresenceState(settings), "Absent");
}

TEST_F(BluetoothScannerTest, RepeatedZeroReadingsResetThroughTheScanner) {
    powerUp();
    readings(-60, 2);
    readings(0, 4);
    EXPECT_TRUE(log.contains("Repeated RSSI = 0 (count: 4) -> Bluetooth reset"));
    EXPECT_TRUE(log.contains("Resetting centralManager (enhanced strategy)"));
    EXPECT_EQ(scanner->pipeline().signalSnapshot().filterEstimate, std::nullopt);
    EXPECT_EQ(scanner->lifecycle().centralManager(), nullptr);
}

TEST_F(BluetoothScannerTest, ADepartureAndAReturnReachTheActions) {
    settings.setBool(keys::canScan, true);
    settings.setBool(keys::notificationsAllowed, true);
    settings.setString(keys::checkedPeripheralName, "Phone");
    powerUp();
    readings(-58, 10);
    EXPECT_TRUE(actions.calls().empty());

    // Walking away: the filtered signal sinks until the device is judged gone.
    for (int i = 0; i < 40 && storedPresenceState(settings) != "Absent"; ++i) {
        readings(-88, 1);
    }
    ASSERT_EQ(storedPresenceState(settings), "Absent");
    EXPECT_EQ(actions.calls(), (std::vector<std::string>{
                                   "deviceConfirmedGone engine decision, Weak Signal -> Absent",
                                   "play deviceLeft", "performAwayAction"}));
    ASSERT_EQ(notifier.delivered().size(), 1u);
    EXPECT_EQ(notifier.delivered()[0].body,
              fmt::format("Phone is out of range. Last RSSI: {}", readout.averageRSSI()));

    actions.clear();
    for (int i = 0; i < 40 && storedPresenceState(settings) != "Present"; ++i) {
        readings(-50, 1);
    }
    ASSERT_EQ(storedPresenceState(settings), "Present");
    EXPECT_EQ(actions.calls(),
              (std::vector<std::string>{"play deviceReturned", "performReturnAction",
                                        "performUnlockOnReturn"}));
}

TEST_F(BluetoothScannerTest, SilenceProbesTheConnectionOnlyWithAPoweredCentral) {
    // A paired phone that lies near but has gone quiet.
    const Uuid phone = Uuid::fromHalves(0xA1, 1);
    settings.setString(keys::checkedPeripheralUUID, phone.toString());
    sim::SimBluetoothConfig config;
    sim::SimDeviceConfig device;
    device.identifier = phone;
    device.knownToSystem = true;
    device.connection.outcome = sim::SimConnectOutcome::neverComplete;
    device.rssi = {{0.0, -58.0, false}};
    config.devices.push_back(device);
    buildBluetooth(config);
    buildScanner();

    scanner->startPresenceTimer();
    readings(-58, 1);
    loop.advanceBy(8);
    EXPECT_EQ(log.count("Connect attempt (trigger: grace-window)"), 0u);

    powerUp();
    loop.advanceBy(10);
    EXPECT_EQ(log.count("Connect attempt (trigger: grace-window)"), 1u);
}

TEST_F(BluetoothScannerTest, AUserSwitchIsAnnouncedLocallyButIsNotAScreenLock) {
    std::vector<std::string> notices;
    auto connection =
        scanner->onLocalScreenNotice([&](std::string_view name) { notices.emplace_back(name); });
    scanner->handleSessionResignedActive();
    scanner->handleSessionBecameActive();
    EXPECT_EQ(notices,
              (std::vector<std::string>{"com.apple.screenIsLocked", "com.apple.screenIsUnlocked"}));
    EXPECT_TRUE(log.contains("User switched away"));
    EXPECT_TRUE(log.contains("User switched back"));
    EXPECT_EQ(settings.dateForKey(keys::lastScreenLockTime), std::nullopt);
    EXPECT_EQ(settings.dateForKey(keys::lastScreenUnlockTime), std::nullopt);
}

}  // namespace
}  // namespace ambleguard
