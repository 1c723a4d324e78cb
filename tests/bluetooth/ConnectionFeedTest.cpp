#include "bluetooth/ConnectionFeed.h"

#include <gtest/gtest.h>

#include "support/ScannerWorld.h"

namespace ambleguard {
namespace {

const Uuid kPhone = Uuid::fromHalves(0xA1, 1);
const Uuid kStranger = Uuid::fromHalves(0xB2, 2);

using State = ConnectionFeedState;

// A tracked phone lying near the computer, paired (retrievable), with the central powered on
// and monitoring. The phone advertises until `quietFrom`, then only answers over a link.
class ConnectionFeedTest : public ::testing::Test, protected test::ScannerWorld {
  protected:
    sim::SimDeviceConfig phone(double quietFrom = 1e9) {
        sim::SimDeviceConfig device;
        device.identifier = kPhone;
        device.name = "Phone";
        device.knownToSystem = true;
        device.rssi = {{0.0, -55.0, true}, {quietFrom, -55.0, false}};
        return device;
    }

    void build(sim::SimDeviceConfig device, sim::SimBluetoothConfig config = {}) {
        settings.setBool(keys::canScan, true);
        settings.setString(keys::checkedPeripheralUUID, kPhone.toString());
        config.devices.push_back(std::move(device));
        buildBluetooth(std::move(config));
        buildScanner();
        scanner->setupCentralManager();
        loop.runDue();
        ASSERT_TRUE(scanner->isCentralPoweredOn());
    }

    ConnectionFeed& feed() { return scanner->connectionFeed(); }
    State state() { return scanner->connectionFeed().state(); }
    const sim::SimBluetoothStats& stats() const { return bluetooth->stats(); }

    // Asks for a link and lets the main queue take it in.
    void attempt(std::string_view trigger = "discovery") {
        feed().attemptConnection(trigger);
        loop.runDue();
    }

    // A connectable phone linked and polled; returns when the feed went live.
    double goLive() {
        attempt();
        loop.advanceBy(0.5);
        EXPECT_EQ(state(), State::connectedPolling);
        return elapsed();
    }
};

TEST_F(ConnectionFeedTest, AQuietPhoneKeepsFeedingReadingsOnceASecond) {
    build(phone(/*quietFrom=*/0));
    scanner->startScanning();
    attempt();
    EXPECT_TRUE(log.contains("Connect attempt (trigger: discovery)"));
    EXPECT_EQ(state(), State::connecting);
    EXPECT_EQ(stats().connectRequests, 1);

    loop.advanceBy(0.5);
    EXPECT_EQ(state(), State::connectedPolling);
    EXPECT_TRUE(log.contains("Connection established"));
    EXPECT_TRUE(log.contains("Connected feed live (poll 1s, staleness limit 10s)"));
    // One read at once, then one per tick.
    loop.advanceBy(0.1);
    EXPECT_EQ(log.count("Connected link RSSI: -55 dBm"), 1u);
    loop.advanceBy(60);
    EXPECT_EQ(log.count("Connected link RSSI: -55 dBm"), 61u);
    EXPECT_EQ(presence(), "Present");
    EXPECT_EQ(scanner->pipeline().signalSnapshot().filterEstimate.value_or(0), -55.0);
    EXPECT_EQ(state(), State::connectedPolling);
}

TEST_F(ConnectionFeedTest, AStalledConnectIsKickedAtFiveAndAbandonedAtTenThenCoolsDown) {
    auto device = phone();
    device.connection.outcome = sim::SimConnectOutcome::neverComplete;
    build(device);
    const double t0 = elapsed();
    attempt();
    const auto generation = feed().generation();

    advanceTo(t0 + 4.999);
    EXPECT_EQ(stats().rssiReadRequests, 0);
    advanceTo(t0 + 5.0);
    EXPECT_TRUE(
        log.contains("Connect stalled 5s, kicking stack with readRSSI on disconnected peripheral"));
    EXPECT_EQ(stats().rssiReadsWithoutLink, 1);
    EXPECT_EQ(state(), State::connecting);
    EXPECT_EQ(feed().generation(), generation);  // the kick changes nothing

    advanceTo(t0 + 9.999);
    EXPECT_EQ(state(), State::connecting);
    advanceTo(t0 + 10.0);
    EXPECT_TRUE(log.contains("Connect attempt timed out (10s)"));
    EXPECT_TRUE(log.contains("Connection feed torn down (connect timeout)"));
    EXPECT_EQ(state(), State::coolingDown);
    EXPECT_EQ(feed().peripheral(), nullptr);
    EXPECT_EQ(stats().cancelRequests, 1);

    // Nothing starts while cooling down, not even from a fresh trigger.
    attempt("grace-window");
    EXPECT_EQ(stats().connectRequests, 1);
    advanceTo(t0 + 11.999);
    EXPECT_EQ(state(), State::coolingDown);
    advanceTo(t0 + 12.0);
    EXPECT_EQ(state(), State::disconnected);
    attempt();
    EXPECT_EQ(stats().connectRequests, 2);
    EXPECT_EQ(state(), State::connecting);
}

TEST_F(ConnectionFeedTest, AConnectThatCompletesAfterTheKickOutlivesTheTimeout) {
    auto device = phone();
    device.connection.delay = 7.0;
    build(device);
    const double t0 = elapsed();
    attempt();
    advanceTo(t0 + 7.0);
    EXPECT_TRUE(log.containsFragment("Connect stalled 5s"));
    EXPECT_EQ(state(), State::connectedPolling);
    advanceTo(t0 + 10.5);
    EXPECT_FALSE(log.containsFragment("Connect attempt timed out"));
    EXPECT_EQ(state(), State::connectedPolling);
}

TEST_F(ConnectionFeedTest, ARefusedConnectCoolsDown) {
    auto device = phone();
    device.connection.outcome = sim::SimConnectOutcome::fail;
    device.connection.delay = 1.0;
    build(device);
    attempt();
    loop.advanceBy(1.0);
    EXPECT_TRUE(log.contains("Failed to connect: Connection failed"));
    EXPECT_TRUE(log.contains("Connection feed torn down (connect failed)"));
    EXPECT_EQ(state(), State::coolingDown);
    loop.advanceBy(2.0);
    EXPECT_EQ(state(), State::disconnected);
}

TEST_F(ConnectionFeedTest, ReadsThatKeepFailingEndTheFeedAfterTheStalenessLimit) {
    auto device = phone();
    device.connection.readError = "Link busy";
    build(device);
    const double live = goLive();
    loop.advanceBy(0.1);
    EXPECT_TRUE(log.contains("Failed to read RSSI on connected link: Link busy"));
    // The last good read counts from the moment the link came up; ticks come every second.
    advanceTo(live + 10.0);
    EXPECT_EQ(state(), State::connectedPolling);
    advanceTo(live + 11.0);
    EXPECT_TRUE(log.contains("Connected feed stale (no successful read for 10s), tearing down"));
    EXPECT_TRUE(log.contains("Connection feed torn down (read staleness)"));
    EXPECT_EQ(state(), State::coolingDown);
    EXPECT_EQ(feed().lastSuccessfulLinkRead(), std::nullopt);
}

TEST_F(ConnectionFeedTest, ALinkLostOutOfRangeIsTornDownWithCooldown) {
    auto device = phone(/*quietFrom=*/0);
    device.rssi.push_back({20.0, std::nullopt, true});
    build(device);
    goLive();
    advanceTo(22.0);  // the link's supervision time-out after leaving at 20 s
    loop.runDue();
    EXPECT_TRUE(log.contains("Disconnected from peripheral"));
    EXPECT_TRUE(log.contains("Disconnect error: The connection has timed out."));
    EXPECT_TRUE(log.contains("Connection feed torn down (disconnected)"));
    EXPECT_EQ(state(), State::coolingDown);
    // Its own cancellation finds no feed peripheral: one teardown only.
    loop.advanceBy(3.0);
    EXPECT_EQ(log.count("Connection feed torn down (disconnected)"), 1u);
    EXPECT_FALSE(log.containsFragment("Connection feed torn down (link dropped)"));
}

TEST_F(ConnectionFeedTest, PassiveOnlyModeEndsALiveFeedWithoutCooldownAndBlocksAttempts) {
    build(phone());
    const double live = goLive();
    settings.setBool(keys::disableConnectedPrimary, true);
    advanceTo(live + 1.0);
    EXPECT_TRUE(log.contains("Passive-only mode enabled mid-session, tearing down"));
    EXPECT_TRUE(log.contains("Connection feed torn down (passive-only mode)"));
    EXPECT_EQ(state(), State::disconnected);
    attempt();
    EXPECT_EQ(stats().connectRequests, 1);

    settings.setBool(keys::disableConnectedPrimary, false);
    attempt();
    EXPECT_EQ(state(), State::connecting);
}

TEST_F(ConnectionFeedTest, NothingIsAttemptedForBeaconsOrOutsideMonitoringUnlessCalibrating) {
    build(phone());
    settings.setString(keys::checkedBeaconIdentity, "beacon:1234");
    buildScanner();
    scanner->setupCentralManager();
    loop.runDue();
    attempt();
    EXPECT_EQ(stats().connectRequests, 0);

    settings.removeObject(keys::checkedBeaconIdentity);
    buildScanner();
    scanner->setupCentralManager();
    loop.runDue();
    scanner->setScanMode(true);
    attempt("grace-window");
    EXPECT_EQ(stats().connectRequests, 0);

    scanner->setOnboardingCalibrationConnectAllowed(true);
    attempt();
    EXPECT_EQ(stats().connectRequests, 1);
    // Entering onboarding again withdraws the permission and ends the attempt.
    scanner->setScanMode(true);
    EXPECT_FALSE(feed().onboardingCalibrationConnectAllowed());
    EXPECT_TRUE(log.contains("Connection feed torn down (onboarding)"));
    EXPECT_EQ(state(), State::disconnected);
    attempt();
    EXPECT_EQ(stats().connectRequests, 1);

    scanner->setScanMode(false);
    attempt();
    EXPECT_EQ(stats().connectRequests, 2);
}

TEST_F(ConnectionFeedTest, AnUnknownDeviceOrAStackWithoutLinkRSSIGetsNoAttempt) {
    auto device = phone();
    device.knownToSystem = false;
    build(device);
    attempt();
    EXPECT_TRUE(log.contains("Connect attempt: device not retrievable"));
    EXPECT_EQ(state(), State::disconnected);

    sim::SimBluetoothConfig noLinkRSSI;
    noLinkRSSI.linkRSSIReadable = false;
    build(phone(), noLinkRSSI);
    attempt();
    attempt();
    EXPECT_EQ(log.count("Connected feed off: this Bluetooth stack cannot read link RSSI"), 1u);
    EXPECT_EQ(stats().connectRequests, 0);
}

TEST_F(ConnectionFeedTest, ARestoredLinkIsAdoptedAndGoesLive) {
    settings.setBool(keys::canScan, true);
    settings.setString(keys::checkedPeripheralUUID, kPhone.toString());
    sim::SimBluetoothConfig config;
    config.devices.push_back(phone(/*quietFrom=*/0));
    sim::SimRestoration restoration;
    restoration.peripherals = std::vector<sim::SimRestoredPeripheral>{{kPhone, true}};
    config.restoration = restoration;
    buildBluetooth(config);
    buildScanner();
    scanner->setupCentralManager();
    loop.advanceBy(1.0);
    EXPECT_TRUE(log.contains("Connect attempt: adopting existing system-level link"));
    EXPECT_TRUE(log.contains("Connect attempt (trigger: state-restore)"));
    EXPECT_EQ(stats().connectRequests, 1);
    EXPECT_EQ(state(), State::connectedPolling);
}

TEST_F(ConnectionFeedTest, AStrayConnectionIsGivenBackAndChangesNothing) {
    build(phone());
    const PeripheralRef tracked = bluetooth->peripheral(kPhone);
    auto other = std::make_shared<sim::SimPeripheral>(kStranger, std::nullopt);
    // Not connecting at all.
    feed().centralDidConnect(tracked);
    loop.runDue();
    EXPECT_EQ(state(), State::disconnected);
    // Connecting, but to someone else.
    attempt();
    const auto generation = feed().generation();
    feed().centralDidConnect(other);
    loop.runDue();
    EXPECT_EQ(state(), State::connecting);
    EXPECT_EQ(feed().generation(), generation);
    EXPECT_EQ(stats().cancelRequests, 2);
}

TEST_F(ConnectionFeedTest, TheCentralsLifecycleEndsALiveFeedWithoutCooldown) {
    struct Case {
        const char* reason;
        std::function<void(test::ScannerWorld&)> cause;
    };
    const Case cases[] = {
        {"scanning stopped",
         [](test::ScannerWorld& w) { w.bluetooth->setRadioState(BleManagerState::poweredOff); }},
        {"central reset", [](test::ScannerWorld& w) { w.scanner->resetBluetooth(); }},
        {"onboarding", [](test::ScannerWorld& w) { w.scanner->setScanMode(true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        log.clear();
        build(phone());
        goLive();
        c.cause(*this);
        loop.runDue();
        EXPECT_TRUE(log.contains(std::string("Connection feed torn down (") + c.reason + ")"));
        EXPECT_EQ(state(), State::disconnected);
    }
}

}  // namespace
}  // namespace ambleguard
