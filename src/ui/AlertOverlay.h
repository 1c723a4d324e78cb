#pragma once

#include "app/Application.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QMessageBox;
class QWidget;

namespace ambleguard::ui {

// The two warnings the main panel raises: the screen saver lock mode needs the desktop to lock
// when its screen saver starts, and notifications need the desktop's permission.
enum class AlertType { screenSaver, notification };

// A program and its arguments that open one page of the desktop's settings.
struct DesktopCommand {
    QString program;
    QStringList arguments;
    bool operator==(const DesktopCommand&) const = default;
};

// The screen lock page: GNOME's lock panel (its privacy panel before the lock panel existed) or
// KDE's screen locker page, the running desktop's own first; nothing when neither program is
// installed. `findExecutable` answers a program's path or nothing; `hasDesktopEntry` whether a
// settings panel's desktop entry is installed.
std::optional<DesktopCommand> screenLockSettingsCommand(
    const QString& currentDesktop, const std::function<QString(const QString&)>& findExecutable,
    const std::function<bool(const QString&)>& hasDesktopEntry);
// The same for this session (XDG_CURRENT_DESKTOP, PATH, the installed desktop entries); nothing
// inside a sandbox, where the host's settings cannot be started.
std::optional<DesktopCommand> screenLockSettingsCommand();

// Shows the warning as a window of its own that does not block the panel, with "Open Settings"
// (where this desktop has the page) and "I'll Set This Later". Returns the box, which deletes
// itself when closed.
QMessageBox* showAlert(QWidget* parent, AlertType type, Application& app);

}  // namespace ambleguard::ui
