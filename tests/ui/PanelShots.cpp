#include "PanelShots.h"

#include "Shots.h"
#include "settings/SettingsKeys.h"
#include "support/AppWorld.h"
#include "ui/MainPanel.h"
#include "ui/PanelWindow.h"
#include "ui/PinEntryView.h"
#include "ui/StatusItem.h"

#include <QMenu>

#include <functional>
#include <memory>

namespace ambleguard::ui {

namespace {

constexpr QSize kPanelSize(400, 700);

// One panel on a fresh world, shown, with `story` played on it before the picture.
void panelShot(const QString& dir, const QString& name, SettingValues settings,
               const std::function<void(test::AppWorld&, MainPanel&)>& story) {
    test::AppWorld world(test::AppWorld::onboarded(std::move(settings)));
    world.app->launch();
    world.platform.loop.advanceBy(1.0);
    auto* panel = new MainPanel(*world.app);
    PanelWindow window(panel, QStringLiteral("Ambleguard"));
    window.resize(kPanelSize);
    window.show();
    story(world, *panel);
    panel->refreshHeader();
    shots::save(window, dir, name, kPanelSize);
}

SettingValues tracking(const std::string& name) {
    return {{std::string(keys::checkedPeripheralName), name},
            {std::string(keys::checkedPeripheralUUID),
             std::string("6F1C3C5E-0A7B-4C0E-9C61-8A2D4E5F6A7B")}};
}

// A walk away and back, so the graph has both kinds of dots.
void walk(test::AppWorld& world) {
    for (int rssi : {-55, -57, -54, -60, -63, -68, -74, -79, -81, -77, -70, -62, -58, -56}) {
        world.readings(rssi, 4.0);
    }
}

}  // namespace

void renderPanelShots(const QString& dir) {
    panelShot(dir, "panel-searching", tracking("Pixel 8 Pro"), [](auto&, auto&) {});
    panelShot(dir, "panel-in-range", tracking("Pixel 8 Pro"), [](auto& world, auto&) {
        world.app->settings.setBool(keys::showDeadBandOnGraph, true);
        walk(world);
    });
    panelShot(dir, "panel-weak", tracking("Pixel 8 Pro"), [](auto& world, auto&) {
        world.readings(-66, 20.0);
        world.app->settings.setString(keys::devicePresenceState, "Weak Signal");
    });
    panelShot(dir, "panel-out-of-range", tracking("Pixel 8 Pro"), [](auto& world, auto&) {
        world.readings(-60, 10.0);
        world.readings(-92, 20.0);
        world.app->settings.setString(keys::devicePresenceState, "Absent");
    });
    panelShot(dir, "panel-stale", tracking("Pixel 8 Pro"), [](auto& world, auto&) {
        world.readings(-60, 10.0);
        world.platform.loop.advanceBy(35.0);
        world.app->settings.setString(keys::devicePresenceState, "Present");
    });
    panelShot(dir, "panel-monitoring-off", tracking("Pixel 8 Pro"), [](auto& world, auto&) {
        world.readings(-60, 10.0);
        world.app->settings.setBool(keys::canScan, false);
    });
    panelShot(dir, "panel-no-device", {},
              [](auto& world, auto&) { world.platform.loop.advanceBy(8.0); });
    panelShot(dir, "panel-long-name",
              tracking("\xF0\x9F\x93\xB1 \xD9\x87\xD8\xA7\xD8\xAA\xD9\x81 Alex's extraordinarily "
                       "long phone name"),
              [](auto& world, auto&) {
                  world.app->settings.setBool(keys::deviceListCollapsed, true);
                  world.readings(-61, 10.0);
              });

    {
        test::AppWorld world(test::AppWorld::onboarded(tracking("Pixel 8 Pro")));
        StatusItem item(*world.app, QStringLiteral("0.1.0"),
                        StatusItem::Actions{[] {}, [] {}, [] {}, [] {}, [](const QString&) {}});
        shots::save(*item.menu(), dir, "menu");
    }
    {
        PinEntryView enter(false);
        shots::save(enter, dir, "pin-enter", QSize(300, 100));
        PinEntryView set(true);
        shots::save(set, dir, "pin-set", QSize(300, 200));
    }
}

}  // namespace ambleguard::ui
