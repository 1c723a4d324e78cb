#include "OverlayShots.h"

#include "OverlayTestSupport.h"
#include "ui/AlertOverlay.h"
#include "ui/PasswordOverlay.h"
#include "ui/ScheduleOverlay.h"
#include "ui/SettingsOverlay.h"
#include "ui/ShortcutsOverlay.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include "Shots.h"

#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTest>

namespace ambleguard::ui {

namespace {

using test::AppWorld;
using test::openMessageBox;
using test::SessionUnlockWorld;
using test::widgetNamed;

constexpr int kPanelWidth = 400;
constexpr int kPanelHeight = 640;

void save(QWidget& widget, const QString& dir, const QString& name, int height = kPanelHeight) {
    widget.resize(kPanelWidth, height);
    widget.show();
    QApplication::processEvents();
    widget.grab().save(dir + "/" + name + ".png");
    widget.hide();
}

// The whole scrolling column, as if the panel were tall enough to need no scrolling.
void saveWhole(QWidget& overlay, const QString& dir, const QString& name) {
    auto* scroll = overlay.findChild<QScrollArea*>();
    overlay.resize(kPanelWidth, kPanelHeight);
    overlay.show();
    for (int i = 0; i < 4 && scroll->verticalScrollBar()->maximum() > 0; ++i) {
        overlay.resize(kPanelWidth, overlay.height() + scroll->verticalScrollBar()->maximum());
        QApplication::processEvents();
    }
    save(overlay, dir, name, overlay.height());
}

void saveBox(QMessageBox* box, const QString& dir, const QString& name) {
    QApplication::processEvents();
    box->adjustSize();
    box->grab().save(dir + "/" + name + ".png");
    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

void renderOverlayShots(const QString& dir, bool dark) {
    QDir().mkpath(dir);
    const QPalette previous = QApplication::palette();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(dark ? shots::darkPalette() : shots::lightPalette());

    {
        AppWorld world(AppWorld::onboarded());
        world.app->settings.setBool(keys::soundsEnabled, true);
        world.app->settings.setBool(keys::isPinEnabled, true);
        world.platform.idleClock.setIdleFor(42);
        SettingsOverlay settings(*world.app);
        save(settings, dir, "settings");
        saveWhole(settings, dir, "settings-full");
        world.platform.notificationPermission.setStatus(NotificationAuthorization::authorized);
        widgetNamed<QPushButton>(&settings, "Reset Detection")->click();
        saveBox(openMessageBox(&settings), dir, "settings-reset-detection");
        widgetNamed<QPushButton>(&settings, "Reset Everything")->click();
        saveBox(openMessageBox(&settings), dir, "settings-reset-everything");
    }
    {
        AppWorld world(AppWorld::onboarded());
        ScheduleOverlay disabled(*world.app);
        save(disabled, dir, "schedule-disabled");
        world.app->settings.setBool(keys::scheduleEnabled, true);
        world.app->settings.setInteger(keys::scheduleStartHour, 8);
        world.app->settings.setInteger(keys::scheduleStartMinute, 30);
        world.app->settings.setInteger(keys::scheduleEndHour, 17);
        world.app->settings.setInteger(keys::scheduleEndMinute, 0);
        ScheduleOverlay enabled(*world.app);
        save(enabled, dir, "schedule");
    }
    {
        AppWorld world(AppWorld::onboarded());
        world.platform.shortcutCommands.setFolder("/home/alex/.config/ambleguard/shortcuts");
        world.platform.shortcutCommands.setAvailableNames({"Lights off", "Pause music"});
        world.app->settings.setString(keys::shortcutNameOnLock, "Pause music");
        world.platform.processLauncher.setScript("Pause music", {ProcessExit{}, 1.0});
        ShortcutsOverlay shortcuts(*world.app);
        shortcuts.testButton(0)->click();
        world.platform.loop.advanceBy(1.0);
        save(shortcuts, dir, "shortcuts");
    }
    {
        AppWorld world(AppWorld::onboarded());
        PasswordOverlay typing(*world.app);
        typing.passwordField()->setText(QStringLiteral("secret"));
        save(typing, dir, "password-typing");
        world.platform.lockScreen.setMayPostEvents(false);
        world.app->unlockTest.startTest("secret");
        save(typing, dir, "password-typing-failed");
    }
    {
        SessionUnlockWorld world;
        PasswordOverlay session(*world.app);
        world.app->unlockTest.startTest("");
        world.platform.loop.advanceBy(20);
        save(session, dir, "password-session");
    }
    {
        AppWorld world(AppWorld::onboarded());
        QWidget panel;
        saveBox(showAlert(&panel, AlertType::screenSaver, *world.app), dir, "alert-screensaver");
        saveBox(showAlert(&panel, AlertType::notification, *world.app), dir, "alert-notification");
    }
    QApplication::setPalette(previous);
}

}  // namespace ambleguard::ui
