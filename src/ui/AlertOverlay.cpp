#include "ui/AlertOverlay.h"

#include "presence/NotificationPermissionFlow.h"

#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

namespace ambleguard::ui {

namespace {

constexpr const char* kScreenSaverTitle = "Screen Saver Security Warning";
constexpr const char* kScreenSaverMessage =
    "Important: Screen Saver Lock Mode Selected\n\n"
    "For Ambleguard to work properly with screen saver mode, you must ensure that your desktop "
    "locks as soon as the screen saver starts or the screen blanks.\n\n"
    "To configure this setting:\n1. Open your desktop's settings\n"
    "2. Go to Screen Lock (GNOME: Privacy) or Screen Locking (KDE)\n"
    "3. Turn automatic locking on, with no delay\n\n"
    "Without this setting, your computer may not be properly secured when Ambleguard activates "
    "the screen saver.";

bool sandboxed() {
    return QFile::exists(QStringLiteral("/.flatpak-info"));
}

}  // namespace

std::optional<DesktopCommand> screenLockSettingsCommand(
    const QString& currentDesktop, const std::function<QString(const QString&)>& findExecutable,
    const std::function<bool(const QString&)>& hasDesktopEntry) {
    const auto gnome = [&]() -> std::optional<DesktopCommand> {
        const QString program = findExecutable(QStringLiteral("gnome-control-center"));
        if (program.isEmpty()) {
            return std::nullopt;
        }
        // Older GNOME releases keep the screen lock settings in the privacy panel.
        const QString page = hasDesktopEntry(QStringLiteral("gnome-lock-panel.desktop"))
                                 ? QStringLiteral("lock")
                                 : QStringLiteral("privacy");
        return DesktopCommand{program, {page}};
    };
    const auto kde = [&]() -> std::optional<DesktopCommand> {
        const QString program = findExecutable(QStringLiteral("systemsettings"));
        if (program.isEmpty()) {
            return std::nullopt;
        }
        return DesktopCommand{program, {QStringLiteral("kcm_screenlocker")}};
    };
    if (currentDesktop.contains(QStringLiteral("KDE"))) {
        if (auto command = kde()) {
            return command;
        }
        return gnome();
    }
    if (auto command = gnome()) {
        return command;
    }
    return kde();
}

std::optional<DesktopCommand> screenLockSettingsCommand() {
    if (sandboxed()) {
        return std::nullopt;
    }
    return screenLockSettingsCommand(
        qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
        [](const QString& name) { return QStandardPaths::findExecutable(name); },
        [](const QString& entry) {
            return !QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry).isEmpty();
        });
}

QMessageBox* showAlert(QWidget* parent, AlertType type, Application& app) {
    const bool screenSaver = type == AlertType::screenSaver;
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowModality(Qt::NonModal);
    // The notification texts are the permission flow's, with this platform's advice where it
    // has its own.
    const auto advice = app.ports().notificationPermission.refusalAdvice();
    const QString title = screenSaver ? QString::fromUtf8(kScreenSaverTitle)
                          : advice
                              ? QString::fromStdString(advice->title)
                              : QString::fromUtf8(NotificationPermissionFlow::kAlertTitle.data(),
                                                  NotificationPermissionFlow::kAlertTitle.size());
    const QString message =
        screenSaver ? QString::fromUtf8(kScreenSaverMessage)
        : advice    ? QString::fromStdString(advice->message)
                    : QString::fromUtf8(NotificationPermissionFlow::kAlertMessage.data(),
                                        NotificationPermissionFlow::kAlertMessage.size());
    box->setWindowTitle(title);
    box->setText(title);
    box->setInformativeText(message);

    QPushButton* open = nullptr;
    std::function<void()> openSettings;
    if (screenSaver) {
        if (auto command = screenLockSettingsCommand()) {
            openSettings = [command = *command] {
                QProcess::startDetached(command.program, command.arguments);
            };
        }
    } else if (!advice && app.ports().notificationSettings.isAvailable()) {
        // The notification page is the platform's, as for the permission flow's own alert.
        openSettings = [&app] { app.notificationPermission.onOpenNotificationSettings(); };
    }
    if (openSettings) {
        open = box->addButton(QStringLiteral("Open Settings"), QMessageBox::AcceptRole);
    }
    QPushButton* later =
        box->addButton(QStringLiteral("I'll Set This Later"), QMessageBox::RejectRole);
    box->setDefaultButton(open != nullptr ? open : later);
    box->setEscapeButton(later);
    QObject::connect(box, &QMessageBox::buttonClicked, box,
                     [open, openSettings](QAbstractButton* clicked) {
                         if (open != nullptr && clicked == open) {
                             openSettings();
                         }
                     });
    box->show();
    return box;
}

}  // namespace ambleguard::ui
