#include "ui/MainPanel.h"

#include "settings/SettingsKeys.h"
#include "support/AppWorld.h"
#include "ui/SignalGraphView.h"

#include <QComboBox>
#include <QSlider>

#include <gtest/gtest.h>

namespace ambleguard::ui {
namespace {

class MainPanelTest : public ::testing::Test {
  protected:
    test::AppWorld world{
        test::AppWorld::onboarded({{std::string(keys::checkedPeripheralName), std::string("Pixel")},
                                   {std::string(keys::checkedPeripheralUUID),
                                    std::string("6F1C3C5E-0A7B-4C0E-9C61-8A2D4E5F6A7B")}})};

    void launch() {
        world.app->launch();
        world.platform.loop.advanceBy(1.0);
    }
};

TEST_F(MainPanelTest, SearchesForFifteenSecondsThenSaysNotInRange) {
    launch();
    MainPanel panel(*world.app);
    panel.show();
    EXPECT_EQ(panel.deviceNameText(), "Pixel");
    EXPECT_EQ(panel.presenceText(), "No device selected");  // "Present" but never a reading
    EXPECT_EQ(panel.readoutText(), "Searching for device...");
    world.platform.loop.advanceBy(14.9);
    EXPECT_EQ(panel.readoutText(), "Searching for device...");
    world.platform.loop.advanceBy(0.2);
    EXPECT_EQ(panel.readoutText(), "Device not in range");

    // Shown again: a new search period.
    panel.hide();
    panel.show();
    EXPECT_EQ(panel.readoutText(), "Searching for device...");
}

TEST_F(MainPanelTest, AReadingGoesStaleInTheHeaderAfterThirtySecondsAndInTheGraphAfterSix) {
    launch();
    MainPanel panel(*world.app);
    panel.show();
    world.readings(-60, 4.0);
    world.platform.loop.advanceBy(MainPanel::kHeaderRefreshInterval);
    EXPECT_EQ(panel.presenceText().toStdString(), "Device in range");
    EXPECT_TRUE(panel.readoutText().endsWith(" dBm"));
    EXPECT_TRUE(panel.readoutToolTip().isEmpty());
    const auto pointsBefore = panel.graph()->model().history().size();
    EXPECT_GT(pointsBefore, 0U);

    // Silent for 20 s: the header keeps the value (the presence itself may have moved on),
    // the graph stops adding points.
    world.platform.loop.advanceBy(20.0);
    EXPECT_TRUE(panel.readoutText().endsWith(" dBm"));
    EXPECT_TRUE(panel.readoutToolTip().isEmpty());
    EXPECT_FALSE(panel.graph()->model().isStale());
    EXPECT_LE(panel.graph()->model().history().size(), pointsBefore + 2);

    world.platform.loop.advanceBy(12.0);
    EXPECT_TRUE(panel.readoutToolTip().startsWith("No recent signal; last reading was "));
    EXPECT_TRUE(panel.graph()->model().isStale());
}

// A stored "Present" with an old reading (the presence is not re-judged while nothing comes).
TEST_F(MainPanelTest, StalePresentReadingIsShownInOrange) {
    launch();
    MainPanel panel(*world.app);
    panel.show();
    world.readings(-60, 2.0);
    world.platform.loop.advanceBy(31.0);
    world.app->settings.setString(keys::devicePresenceState, "Present");
    panel.refreshHeader();
    EXPECT_EQ(panel.presenceText().toStdString(), "No signal; last reading is stale");
}

TEST_F(MainPanelTest, MonitoringOffReplacesTheValueWithAWarning) {
    launch();
    MainPanel panel(*world.app);
    panel.show();
    world.readings(-60, 2.0);
    world.app->settings.setBool(keys::canScan, false);
    panel.refreshHeader();
    EXPECT_TRUE(panel.readoutIsWarning());
    EXPECT_EQ(panel.readoutToolTip(), "Ambleguard is disabled.");
}

TEST_F(MainPanelTest, ControlsWriteTheirSettingsWithinRange) {
    MainPanel panel(*world.app);
    auto sliders = panel.findChildren<QSlider*>();
    QSlider* threshold = nullptr;
    QSlider* delay = nullptr;
    for (QSlider* s : sliders) {
        if (s->accessibleName() == "Proximity threshold") {
            threshold = s;
        } else if (s->accessibleName() == "Action delay") {
            delay = s;
        }
    }
    ASSERT_NE(threshold, nullptr);
    ASSERT_NE(delay, nullptr);
    threshold->setValue(-120);  // below the range: the slider stops at -100
    EXPECT_EQ(world.app->settings.doubleForKey(keys::averageMinRSSI), -100.0);
    delay->setValue(45);
    EXPECT_EQ(world.app->settings.doubleForKey(keys::lastSeenTimeout), 45.0);

    auto* mode = panel.findChild<QComboBox*>();
    ASSERT_NE(mode, nullptr);
    mode->activated(2);
    EXPECT_EQ(world.app->settings.stringForKey(keys::lockMode), "Run Shortcut");
    EXPECT_TRUE(world.log.containsFragment("Lock mode selected: Run Shortcut"));
}

}  // namespace
}  // namespace ambleguard::ui
