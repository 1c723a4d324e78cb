#include "ui/StatusItem.h"

#include "settings/SettingsKeys.h"
#include "support/AppWorld.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

namespace ambleguard::ui {
namespace {

QStringList titles(const QMenu& menu) {
    QStringList out;
    for (const QAction* action : menu.actions()) {
        out << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return out;
}

QAction* find(const QMenu& menu, const QString& title) {
    for (QAction* action : menu.actions()) {
        if (action->text() == title) {
            return action;
        }
    }
    return nullptr;
}

class StatusItemTest : public ::testing::Test {
  protected:
    test::AppWorld world{
        test::AppWorld::onboarded({{std::string(keys::checkedPeripheralName),
                                    std::string("A very long phone name indeed")}})};
    int settingsOpened = 0;
    int monitoringToggled = 0;
    StatusItem item{
        *world.app, QStringLiteral("1.0"),
        StatusItem::Actions{[this] { ++settingsOpened; }, [this] { ++monitoringToggled; }, [] {},
                            [] {}, [](const QString&) {}}};
};

TEST_F(StatusItemTest, MenuShowsTheDeviceAndTheMonitoringState) {
    const QStringList menu = titles(*item.menu());
    ASSERT_GE(menu.size(), 3);
    EXPECT_EQ(menu[0], "A very long phone name in...");
    EXPECT_FALSE(item.menu()->actions()[0]->isEnabled());
    EXPECT_TRUE(menu.contains("Enabled 🟢"));
    EXPECT_TRUE(find(*item.menu(), "Enabled 🟢")->isChecked());
    EXPECT_EQ(menu.back(), "Ambleguard 1.0");
    EXPECT_EQ(item.iconName(), "ambleguard-symbolic");

    world.app->settings.setBool(keys::canScan, false);
    item.buildStatusMenu();
    item.updateStatusItem();
    EXPECT_TRUE(titles(*item.menu()).contains("Disabled 🔴"));
    EXPECT_EQ(item.iconName(), "ambleguard-disabled-symbolic");
}

TEST_F(StatusItemTest, EntriesReachTheirActions) {
    find(*item.menu(), "Settings")->trigger();
    find(*item.menu(), "Enabled 🟢")->trigger();
    EXPECT_EQ(settingsOpened, 1);
    EXPECT_EQ(monitoringToggled, 1);

    const bool before = world.app->launchAtLogin.isEnabled();
    find(*item.menu(), "Launch at Login")->trigger();
    EXPECT_NE(world.app->launchAtLogin.isEnabled(), before);
    EXPECT_EQ(find(*item.menu(), "Launch at Login")->isChecked(), !before);
}

// The glyph shows the signal only while monitoring, and follows the readings on its timer.
TEST_F(StatusItemTest, SignalGlyphReplacesTheIconAndFollowsTheReadings) {
    find(*item.menu(), "Show Signal Strength")->trigger();
    EXPECT_TRUE(world.app->settings.boolForKey(keys::showSignalStrengthInMenuBar));
    EXPECT_TRUE(find(*item.menu(), "Show Signal Strength")->isChecked());
    EXPECT_EQ(item.iconName(), "ambleguard-signal-0-symbolic");  // no reading yet

    world.app->settings.setDouble(keys::averageMinRSSI, -80.0);
    world.readings(-60, 10.0);
    world.platform.loop.advanceBy(StatusItem::kSignalRefreshInterval);
    EXPECT_EQ(item.iconName(), "ambleguard-signal-4-symbolic");

    world.app->settings.setBool(keys::canScan, false);
    item.updateStatusItem();
    EXPECT_EQ(item.iconName(), "ambleguard-disabled-symbolic");
}

}  // namespace
}  // namespace ambleguard::ui
