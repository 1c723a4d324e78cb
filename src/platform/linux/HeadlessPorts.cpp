#include "platform/linux/HeadlessPorts.h"

#include <QCoreApplication>
#include <QProcess>

namespace ambleguard::linuxdesktop {

void LoggedAlerts::show(AlertRequest request, std::function<void(std::size_t)> /*answer*/) {
    log_.notice("Alert (no window to show it): {}: {}", request.title, request.message);
}

void QtAppInstance::launchNewInstance(std::function<void()> completion) {
    const QString program = QCoreApplication::applicationFilePath();
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (!QProcess::startDetached(program, arguments)) {
        log_.error("Could not start a new instance of {}", program.toStdString());
    }
    if (completion) {
        completion();
    }
}

void QtAppInstance::terminate() {
    mainQueue_.post([] { QCoreApplication::quit(); });
}

}  // namespace ambleguard::linuxdesktop
