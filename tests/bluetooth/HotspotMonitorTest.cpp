#include "bluetooth/HotspotAlerts.h"
#include "bluetooth/HotspotMonitor.h"

#include <gtest/gtest.h>

#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/RecordingNotifier.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimNetworkLinks.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <optional>
#include <vector>

namespace ambleguard {
namespace {

using Kind = HotspotMonitor::Kind;

NetworkInterface wifi(std::string address) {
    return NetworkInterface{"wlan0", true, "Wi-Fi", {std::move(address)}};
}
NetworkInterface pan(std::vector<std::string> addresses) {
    return NetworkInterface{"bnep0", false, "Bluetooth PAN", std::move(addresses)};
}

TEST(HotspotMonitorTest, ClassifiesTethersByInterfaceKindNameAndAddress) {
    EXPECT_EQ(HotspotMonitor::classify({wifi("172.20.10.4")}), Kind::wifiHotspot);
    EXPECT_EQ(HotspotMonitor::classify({wifi("172.20.1.4")}), std::nullopt);
    EXPECT_EQ(HotspotMonitor::classify({wifi("192.168.1.4")}), std::nullopt);
    // A phone's hotspot in another subnet is known by the metered mark, on Wi-Fi only.
    auto metered = wifi("192.168.43.17");
    metered.metered = true;
    EXPECT_EQ(HotspotMonitor::classify({metered}), Kind::wifiHotspot);
    EXPECT_EQ(HotspotMonitor::classify({{"usb0", false, "Ethernet", {"10.0.0.2"}, true}}),
              std::nullopt);
    // A Bluetooth link wins over a Wi-Fi hotspot wherever it stands.
    EXPECT_EQ(HotspotMonitor::classify({wifi("172.20.10.4"), pan({"192.168.44.2"})}),
              Kind::bluetoothPAN);
    EXPECT_EQ(HotspotMonitor::classify({pan({"192.168.44.2"}), wifi("172.20.10.4")}),
              Kind::bluetoothPAN);
    // Without an address it is not a link.
    EXPECT_EQ(HotspotMonitor::classify({pan({})}), std::nullopt);
    // The name is matched regardless of case; a Wi-Fi interface is never a Bluetooth link, and
    // an interface without a kernel name is skipped.
    EXPECT_EQ(HotspotMonitor::classify({{"usb0", false, "iPhone BLUETOOTH tether", {"10.0.0.2"}}}),
              Kind::bluetoothPAN);
    EXPECT_EQ(HotspotMonitor::classify({{"wlan1", true, "Bluetooth", {"10.0.0.2"}}}), std::nullopt);
    EXPECT_EQ(HotspotMonitor::classify({{std::nullopt, false, "Bluetooth", {"10.0.0.2"}}}),
              std::nullopt);
}

class HotspotTest : public ::testing::Test {
  protected:
    HotspotTest() {
        settings.setBool(keys::canScan, true);
        settings.setBool(keys::notificationsAllowed, true);
        monitor.onChange = [this](std::optional<Kind> kind) {
            changes.push_back(kind);
            if (kind) {
                alerts.handleHotspotChange(*kind);
            }
        };
    }
    void tether(sim::SimTether which, bool up) {
        links.setTether(which, up);
        loop.runDue();
    }

    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    SettingsStore settings{persistence, log};
    sim::RecordingNotifier notifier;
    sim::SimNetworkLinks links{loop};
    ScanMode mode = ScanMode::monitoring;
    HotspotMonitor monitor{links, log};
    HotspotAlerts alerts{clock, settings, notifier, log, [this] { return mode; }};
    std::vector<std::optional<Kind>> changes;
};

TEST_F(HotspotTest, EveryChangeOfKindIsReportedOnceAndTheEndIsLogged) {
    monitor.start();
    EXPECT_TRUE(changes.empty());  // the office network is no tether
    tether(sim::SimTether::wifiHotspot, true);
    tether(sim::SimTether::wifiHotspot, true);  // the same kind again: nothing
    tether(sim::SimTether::bluetoothPAN, true);
    EXPECT_EQ(log.count("Hotspot link detected: Wi-Fi Instant Hotspot"), 1u);
    EXPECT_EQ(log.count("Hotspot link detected: Bluetooth PAN"), 1u);
    tether(sim::SimTether::bluetoothPAN, false);
    tether(sim::SimTether::wifiHotspot, false);
    EXPECT_TRUE(log.contains("Hotspot link ended"));
    EXPECT_EQ(changes, (std::vector<std::optional<Kind>>{Kind::wifiHotspot, Kind::bluetoothPAN,
                                                         Kind::wifiHotspot, std::nullopt}));
}

TEST_F(HotspotTest, NotifiesAtMostOnceAnHour) {
    monitor.start();
    tether(sim::SimTether::wifiHotspot, true);
    ASSERT_EQ(notifier.delivered().size(), 1u);
    EXPECT_EQ(notifier.delivered()[0].identifier, "hotspot-coexistence");
    EXPECT_EQ(notifier.delivered()[0].title, "Ambleguard");
    EXPECT_EQ(notifier.delivered()[0].body,
              "Personal Hotspot detected. It may affect Ambleguard's device monitoring.");
    EXPECT_FALSE(notifier.delivered()[0].playsSound);

    loop.advanceBy(30 * 60);
    tether(sim::SimTether::bluetoothPAN, true);
    EXPECT_EQ(notifier.delivered().size(), 1u);
    EXPECT_TRUE(log.contains("Hotspot active (Bluetooth PAN), connected primary enabled"));

    loop.advanceBy(30 * 60 - 0.001);
    tether(sim::SimTether::bluetoothPAN, false);  // back to the Wi-Fi hotspot
    EXPECT_EQ(notifier.delivered().size(), 1u);
    loop.advanceBy(0.001);
    tether(sim::SimTether::bluetoothPAN, true);
    ASSERT_EQ(notifier.delivered().size(), 2u);
    EXPECT_EQ(notifier.delivered()[1].body,
              "Bluetooth tethering detected. It may affect Ambleguard's device monitoring.");
}

TEST_F(HotspotTest, PassiveOnlyOnboardingOrNoPermissionLogsWithoutNotifying) {
    monitor.start();
    settings.setBool(keys::disableConnectedPrimary, true);
    tether(sim::SimTether::wifiHotspot, true);
    EXPECT_TRUE(
        log.contains("Hotspot active (Wi-Fi Instant Hotspot), connected primary already disabled"));
    settings.setBool(keys::disableConnectedPrimary, false);
    mode = ScanMode::onboarding;
    tether(sim::SimTether::bluetoothPAN, true);
    mode = ScanMode::monitoring;
    settings.setBool(keys::notificationsAllowed, false);
    tether(sim::SimTether::bluetoothPAN, false);
    EXPECT_TRUE(notifier.delivered().empty());
    // None of them used up the hour.
    settings.setBool(keys::notificationsAllowed, true);
    tether(sim::SimTether::bluetoothPAN, true);
    EXPECT_EQ(notifier.delivered().size(), 1u);
}

TEST_F(HotspotTest, WithoutAWatchDetectionStaysOff) {
    links.setWatchable(false);
    links.setTether(sim::SimTether::wifiHotspot, true);
    monitor.start();
    monitor.start();
    loop.runDue();
    EXPECT_EQ(log.count("Network link watch failed, hotspot detection off"), 1u);
    EXPECT_EQ(monitor.detectHotspot(), std::nullopt);
    EXPECT_TRUE(changes.empty());
}

}  // namespace
}  // namespace ambleguard
