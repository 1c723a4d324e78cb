#include "ui/AlertOverlay.h"

#include "OverlayTestSupport.h"
#include "presence/NotificationPermissionFlow.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

namespace ambleguard::ui {
namespace {

TEST(ScreenLockSettingsCommand, TheRunningDesktopsOwnSettingsFirst) {
    const auto both = [](const QString& name) { return "/usr/bin/" + name; };
    const auto gnomeOnly = [](const QString& name) {
        return name == "gnome-control-center" ? "/usr/bin/" + name : QString();
    };
    const auto none = [](const QString&) { return QString(); };
    const auto lockPanel = [](const QString& entry) { return entry == "gnome-lock-panel.desktop"; };
    const auto noLockPanel = [](const QString&) { return false; };

    EXPECT_EQ(screenLockSettingsCommand("KDE", both, lockPanel),
              (DesktopCommand{"/usr/bin/systemsettings", {"kcm_screenlocker"}}));
    EXPECT_EQ(screenLockSettingsCommand("ubuntu:GNOME", both, lockPanel),
              (DesktopCommand{"/usr/bin/gnome-control-center", {"lock"}}));
    // GNOME before its lock panel kept screen locking under privacy.
    EXPECT_EQ(screenLockSettingsCommand("GNOME", both, noLockPanel),
              (DesktopCommand{"/usr/bin/gnome-control-center", {"privacy"}}));
    EXPECT_EQ(screenLockSettingsCommand("KDE", gnomeOnly, lockPanel),
              (DesktopCommand{"/usr/bin/gnome-control-center", {"lock"}}));
    EXPECT_FALSE(screenLockSettingsCommand("XFCE", none, lockPanel));
}

TEST(AlertOverlay, NotificationAlertOpensTheDesktopsPageAndDoesNotBlock) {
    test::AppWorld world(test::AppWorld::onboarded());
    QWidget panel;
    QPointer<QMessageBox> box = showAlert(&panel, AlertType::notification, *world.app);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_EQ(box->text(), "Notifications Permission Required");
    // The permission flow's own text: the simulated platform has a per-program switch.
    EXPECT_EQ(box->informativeText().toStdString(), NotificationPermissionFlow::kAlertMessage);
    EXPECT_EQ(test::buttonTexts(box), (QStringList{"I'll Set This Later", "Open Settings"}));
    ASSERT_TRUE(test::clickButton(box, "Open Settings"));
    EXPECT_EQ(world.platform.notificationSettings.opened(), 1);
    EXPECT_FALSE(box);

    world.platform.notificationSettings.setAvailable(false);
    box = showAlert(&panel, AlertType::notification, *world.app);
    EXPECT_EQ(test::buttonTexts(box), (QStringList{"I'll Set This Later"}));
    ASSERT_TRUE(test::clickButton(box, "I'll Set This Later"));
    EXPECT_EQ(world.platform.notificationSettings.opened(), 1);
}

TEST(AlertOverlay, ScreenSaverAlertNamesTheLinuxSteps) {
    test::AppWorld world(test::AppWorld::onboarded());
    QWidget panel;
    QMessageBox* box = showAlert(&panel, AlertType::screenSaver, *world.app);
    EXPECT_EQ(box->text(), "Screen Saver Security Warning");
    EXPECT_TRUE(box->informativeText().contains(
        "2. Go to Screen Lock (GNOME: Privacy) or Screen Locking (KDE)\n"
        "3. Turn automatic locking on, with no delay"));
    EXPECT_TRUE(test::buttonTexts(box).contains("I'll Set This Later"));
    // "Open Settings" only where this machine has a settings program for it.
    EXPECT_EQ(test::buttonTexts(box).contains("Open Settings"),
              screenLockSettingsCommand().has_value());
    box->close();
}

}  // namespace
}  // namespace ambleguard::ui
