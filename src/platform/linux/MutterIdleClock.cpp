#include "platform/linux/MutterIdleClock.h"

#include "platform/linux/DBusCalls.h"

namespace ambleguard::linuxdesktop {

std::optional<double> MutterIdleClock::secondsSinceLastInput() {
    const auto call = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Mutter.IdleMonitor"),
        QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
        QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("GetIdletime"));
    const QDBusMessage reply = callAndWait(bus_, call);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("t")) {
        return std::nullopt;
    }
    return static_cast<double>(reply.arguments().at(0).toULongLong()) / 1000.0;
}

}  // namespace ambleguard::linuxdesktop
