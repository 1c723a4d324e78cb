#include "app/PanelStatus.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

TEST(PanelStatus, IndicatorNeedsAReadingBeforeSayingInRange) {
    EXPECT_EQ(presenceIndicator("Present", -127, false).text, "No device selected");
    EXPECT_EQ(presenceIndicator("Present", -60, false).text, "Device in range");
    EXPECT_EQ(presenceIndicator("Present", -60, false).colour, IndicatorColour::green);
    EXPECT_EQ(presenceIndicator("Present", -60, true).text, "No signal; last reading is stale");
    EXPECT_EQ(presenceIndicator("Present", -60, true).colour, IndicatorColour::orange);
    EXPECT_EQ(presenceIndicator("Weak Signal", -127, false).text, "Device signal weak");
    EXPECT_EQ(presenceIndicator("Absent", -80, true).text, "Device out of range");
    EXPECT_EQ(presenceIndicator("garbage", -60, false).colour, IndicatorColour::red);
}

TEST(PanelStatus, NameIsCutAfterTwentyCharacters) {
    EXPECT_EQ(panelDeviceName(std::nullopt), "No device selected");
    EXPECT_EQ(panelDeviceName(std::string(20, 'n')), std::string(20, 'n'));
    EXPECT_EQ(panelDeviceName(std::string(21, 'n')), std::string(20, 'n') + "...");
}

TEST(PanelStatus, ReadoutDependsOnMonitoringReadingAndSearchPeriod) {
    using Kind = SignalReadoutLine::Kind;
    EXPECT_EQ(signalReadoutLine(false, true, -60, false, false).kind, Kind::none);
    const auto warning = signalReadoutLine(true, false, -60, false, false);
    EXPECT_EQ(warning.kind, Kind::warning);
    EXPECT_EQ(warning.tooltip, "Ambleguard is disabled.");
    const auto fresh = signalReadoutLine(true, true, -61, false, false);
    EXPECT_EQ(fresh.text, "-61 dBm");
    EXPECT_EQ(fresh.tooltip, "");
    EXPECT_EQ(signalReadoutLine(true, true, -61, true, false).tooltip,
              "No recent signal; last reading was -61 dBm");
    EXPECT_EQ(signalReadoutLine(true, false, -127, false, true).text, "Ambleguard is disabled.");
    EXPECT_EQ(signalReadoutLine(true, true, -127, false, true).text, "Searching for device...");
    EXPECT_EQ(signalReadoutLine(true, true, -127, false, false).text, "Device not in range");
}

TEST(PanelStatus, HeaderStalenessStartsAfterThirtySeconds) {
    const Instant t0 = fromEpochSeconds(1000);
    EXPECT_TRUE(headerReadingIsStale(std::nullopt, t0));
    EXPECT_FALSE(headerReadingIsStale(t0, addSeconds(t0, 30.0)));
    EXPECT_TRUE(headerReadingIsStale(t0, addSeconds(t0, 30.001)));
}

TEST(PanelStatus, CollapsedPanelHeightKeepsTheListWithinBounds) {
    EXPECT_EQ(mainPanelHeight(false, 50), 700);
    EXPECT_EQ(mainPanelHeight(true, 0), 540);
    EXPECT_EQ(mainPanelHeight(true, 100), 580);
    EXPECT_EQ(mainPanelHeight(true, 200), 500);
    EXPECT_EQ(mainPanelHeight(true, 1000), 380);
}

}  // namespace
}  // namespace ambleguard
