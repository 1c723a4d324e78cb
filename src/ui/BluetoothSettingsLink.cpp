#include "ui/BluetoothSettingsLink.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace ambleguard::ui {

BluetoothSettingsLink BluetoothSettingsLink::forThisDesktop() {
    // A sandboxed program cannot start the host's settings programs.
    if (QFileInfo::exists(QStringLiteral("/.flatpak-info"))) {
        return BluetoothSettingsLink();
    }
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    const QStringList gnome{QStringLiteral("gnome-control-center"), QStringLiteral("bluetooth")};
    const QStringList kde{QStringLiteral("systemsettings"), QStringLiteral("kcm_bluetooth")};
    const bool plasma = desktop.contains(QLatin1String("KDE"), Qt::CaseInsensitive);
    for (const QStringList& candidate : plasma ? QList{kde, gnome} : QList{gnome, kde}) {
        const QString program = QStandardPaths::findExecutable(candidate.front());
        if (!program.isEmpty()) {
            return BluetoothSettingsLink(QStringList{program} + candidate.mid(1));
        }
    }
    return BluetoothSettingsLink();
}

bool BluetoothSettingsLink::open() const {
    if (command_.isEmpty()) {
        return false;
    }
    return QProcess::startDetached(command_.front(), command_.mid(1));
}

}  // namespace ambleguard::ui
