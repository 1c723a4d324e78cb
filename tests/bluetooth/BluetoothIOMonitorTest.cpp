#include "bluetooth/BluetoothIOMonitor.h"

#include <gtest/gtest.h>

#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimBluetoothController.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"

#include <memory>
#include <string>
#include <vector>

namespace ambleguard {
namespace {

class BluetoothIOMonitorTest : public ::testing::Test {
  protected:
    BluetoothIOMonitor& start() {
        monitor = std::make_unique<BluetoothIOMonitor>(controller, loop, clock, log);
        return *monitor;
    }
    std::vector<std::string> history() const {
        std::vector<std::string> texts;
        for (const auto& [at, text] : monitor->stateChangeHistory()) {
            texts.push_back(text);
        }
        return texts;
    }
    void inject(ControllerEvent event) {
        controller.inject(event);
        loop.runDue();
    }

    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::RecordingLogSink log;
    sim::SimBluetoothController controller;
    std::unique_ptr<BluetoothIOMonitor> monitor;
};

TEST_F(BluetoothIOMonitorTest, TheFirstReadRecordsEveryValueOnceAndEventsReReadChanges) {
    start();
    EXPECT_EQ(history(), (std::vector<std::string>{"Power state changed: -1 -> 1",
                                                   "RSSI threshold changed: -1 -> -70",
                                                   "Link quality changed: -1 -> 80"}));
    // Unchanged values record nothing.
    monitor->readProperties();
    EXPECT_EQ(history().size(), 3u);

    controller.setProperty("BT Power State", std::int64_t{0});
    inject({ControllerEventKind::suspended, 0});
    EXPECT_TRUE(log.contains("Bluetooth state change detected - Message type: -536870880"));
    EXPECT_EQ(history().at(3), "State change: Service suspended");
    EXPECT_EQ(history().at(4), "Power state changed: 1 -> 0");

    // A message nobody knows is still recorded, with its number, and still re-reads.
    controller.setProperty("LinkQuality", std::int64_t{30});
    inject({ControllerEventKind::other, 7});
    EXPECT_EQ(history().at(5), "State change: Unknown state change (7)");
    EXPECT_EQ(history().at(6), "Link quality changed: 80 -> 30");

    monitor->runDiagnosticCheck();
    EXPECT_TRUE(log.contains("Poor link quality detected: 30"));
    EXPECT_TRUE(log.contains("Bluetooth power is off"));
    EXPECT_TRUE(log.contains("Current RSSI threshold: -70"));
}

TEST_F(BluetoothIOMonitorTest, OtherPropertiesAreRecordedAndWrongTypesIgnored) {
    controller.setProperty("ErrorStates", std::vector<std::string>{"HCI timeout", "Reset"});
    controller.setProperty("RadioState", std::int64_t{1});
    controller.setProperty("RFCOMMState", std::string("open"));  // not a number: ignored
    controller.setProperty("TransportInfo", std::map<std::string, std::string>{{"bus", "usb"}});
    start();
    const auto texts = history();
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 3, texts.end()),
              (std::vector<std::string>{"Error state detected: HCI timeout",
                                        "Error state detected: Reset", "Radio state: 1",
                                        "Transport info updated"}));
    EXPECT_TRUE(log.contains("Bluetooth Error States: [HCI timeout, Reset]"));
    EXPECT_TRUE(log.contains("Transport Info: {bus = usb}"));
}

TEST_F(BluetoothIOMonitorTest, TheHistoryKeepsTheLastTenAndTheSummaryPrintsThem) {
    start();
    for (int i = 0; i < 7; ++i) {
        monitor->recordEvent("event " + std::to_string(i));
    }
    ASSERT_EQ(history().size(), 10u);
    EXPECT_EQ(history().front(), "Power state changed: -1 -> 1");
    loop.advanceBy(1.5);
    monitor->recordEvent("event 8");
    ASSERT_EQ(history().size(), 10u);
    EXPECT_EQ(history().front(), "RSSI threshold changed: -1 -> -70");
    const std::string summary = monitor->diagnosticSummary();
    EXPECT_EQ(summary.substr(0, summary.find("Recent Events:")),
              "Bluetooth Diagnostic Summary:\nPower State: 1\nLink Quality: 80\n"
              "RSSI Threshold: -70\n\n");
    EXPECT_NE(summary.find(": event 8\n"), std::string::npos);
}

TEST_F(BluetoothIOMonitorTest, WatchFailuresLeaveAPassiveMonitor) {
    controller.failWatch(ControllerWatchError{ControllerWatchError::Step::noController, 0});
    start();
    EXPECT_EQ(history(), (std::vector<std::string>{"Failed to get Bluetooth service"}));
    // The error, and the event as it is recorded.
    EXPECT_EQ(log.count("Failed to get Bluetooth service"), 1u);
    EXPECT_TRUE(log.containsFragment("]: Failed to get Bluetooth service"));
    monitor->runDiagnosticCheck();
    EXPECT_EQ(history().size(), 1u);
    EXPECT_NE(monitor->diagnosticSummary().find("Power State: -1\n"), std::string::npos);

    controller.failWatch(
        ControllerWatchError{ControllerWatchError::Step::subscriptionFailed, -536870212});
    start();
    EXPECT_TRUE(log.contains("Failed to setup Bluetooth state notifications: -536870212"));
    EXPECT_EQ(history(),
              (std::vector<std::string>{"Failed to setup Bluetooth notifications: -536870212"}));
}

}  // namespace
}  // namespace ambleguard
