#include "platform/linux/ScreenSaverIdleClock.h"

#include "platform/linux/DBusCalls.h"

namespace ambleguard::linuxdesktop {

std::optional<double> ScreenSaverIdleClock::secondsSinceLastInput() {
    const auto call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                                     QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                     QStringLiteral("org.freedesktop.ScreenSaver"),
                                                     QStringLiteral("GetSessionIdleTime"));
    const QDBusMessage reply = callAndWait(bus_, call);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("u")) {
        return std::nullopt;
    }
    return static_cast<double>(reply.arguments().at(0).toUInt()) / 1000.0;
}

}  // namespace ambleguard::linuxdesktop
