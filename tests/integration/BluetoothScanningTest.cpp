#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/ScannerWorld.h"

namespace ambleguard {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

const Uuid kPhone = Uuid::fromHalves(0xA1, 1);
const Uuid kBeacon = Uuid::fromHalves(0xB2, 2);
const Uuid kSpeaker = Uuid::fromHalves(0xC4, 4);

// A desk with the user's phone (tracked), a kitchen speaker, and a nameless beacon that is
// carried off after 20 s. The user stays for a minute and then walks away with the phone.
sim::SimBluetoothConfig desk() {
    sim::SimBluetoothConfig config;

    sim::SimDeviceConfig phone;
    phone.identifier = kPhone;
    phone.name = "Work phone";
    phone.advertisingInterval = 0.5;
    phone.rssi = {{0.0, -55.0}, {60.0, -55.0}, {70.0, -90.0}};
    config.devices.push_back(phone);

    sim::SimDeviceConfig speaker;
    speaker.identifier = kSpeaker;
    speaker.name = "Kitchen speaker";
    speaker.advertisingPhase = 0.05;
    speaker.rssi = {{0.0, -75.0}};
    config.devices.push_back(speaker);

    sim::SimDeviceConfig beacon;
    beacon.identifier = kBeacon;
    std::array<std::uint8_t, 20> id{0x12, 0x34, 0x56, 0x78};
    id[17] = 1;  // major 1
    id[19] = 2;  // minor 2
    beacon.manufacturerData = sim::altBeaconManufacturerData(0x0118, id);
    beacon.advertisingInterval = 1.0;
    beacon.advertisingPhase = 0.1;
    beacon.rssi = {{0.0, -70.0}, {20.0, std::nullopt}};
    config.devices.push_back(beacon);
    return config;
}

class BluetoothScanningTest : public ::testing::Test, protected test::ScannerWorld {
  protected:
    BluetoothScanningTest() {
        settings.setBool(keys::canScan, true);
        // Without duplicates each device is reported once per scan, far too rarely to follow.
        settings.setBool(keys::scanAllowDuplicates, true);
        settings.setString(keys::checkedPeripheralUUID, kPhone.toString());
        settings.setString(keys::checkedPeripheralName, "Work phone");
        buildBluetooth(desk());
        buildScanner();
        published = scanner->onPeripheralsChanged(
            [this](const std::vector<PeripheralRef>& list) { lastPublished = labels(list); });
    }

    std::vector<std::string> labels(const std::vector<PeripheralRef>& list) {
        std::vector<std::string> result;
        for (const auto& peripheral : list) {
            result.push_back(peripheral->name().value_or(
                scanner->discovery().resolvedName(*peripheral).value_or("?")));
        }
        return result;
    }

    Connection published;
    std::vector<std::string> lastPublished;
};

TEST_F(BluetoothScanningTest, TheTrackedPhoneDrivesPresenceWhileTheListFollowsTheRoom) {
    scanner->startScanning();  // as the scan gate does at start-up
    advanceTo(5);
    ASSERT_TRUE(scanner->isScanning().get());

    EXPECT_THAT(lastPublished,
                ElementsAre("Kitchen speaker", "Radius Networks · 12345678 · 1/2", "Work phone"));
    EXPECT_EQ(labels(scanner->peripherals()), lastPublished);
    // Only the tracked phone's advertisements reach the readings.
    EXPECT_EQ(scanner->pipeline().signalSnapshot().lastRawRSSI, -55);
    EXPECT_EQ(readout.lastFilteredRSSI(), -55);
    EXPECT_EQ(presence(), "Present");
    EXPECT_TRUE(log.contains("New named device: Kitchen speaker (" + kSpeaker.toString() +
                             ") advKeys=[LocalName] services=[none] mfg=none"));

    // The beacon went quiet at 20 s; it is dropped at the first expiry tick more than 60 s on.
    advanceTo(89.9);
    EXPECT_EQ(lastPublished.size(), 3u);
    advanceTo(90);
    EXPECT_THAT(lastPublished, ElementsAre("Kitchen speaker", "Work phone"));
    EXPECT_TRUE(log.contains("Removed 1 expired devices"));

    // Meanwhile the phone walked away: its weakening signal made the device gone.
    EXPECT_EQ(presence(), "Absent");
    EXPECT_THAT(actions.calls(), Contains("performAwayAction"));
    EXPECT_LT(scanner->pipeline().signalSnapshot().lastRawRSSI, -85);
}

}  // namespace
}  // namespace ambleguard
