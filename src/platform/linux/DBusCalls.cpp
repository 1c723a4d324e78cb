#include "platform/linux/DBusCalls.h"

#include <QDBusVariant>

namespace ambleguard::linuxdesktop {

QDBusMessage callAndWait(const QDBusConnection& bus, const QDBusMessage& call, int timeoutMs) {
    if (!bus.isConnected()) {
        return call.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
                                     QStringLiteral("not connected to the bus"));
    }
    return bus.call(call, QDBus::Block, timeoutMs);
}

bool isMissingService(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ErrorMessage) {
        return false;
    }
    const QString name = reply.errorName();
    return name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           name == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
           name == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
           name == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Disconnected");
}

std::optional<QVariant> readProperty(const QDBusConnection& bus, const QString& service,
                                     const QString& path, const QString& interface,
                                     const QString& name) {
    auto call = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = callAndWait(bus, call);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("v") ||
        reply.arguments().size() != 1) {
        return std::nullopt;
    }
    return reply.arguments().at(0).value<QDBusVariant>().variant();
}

QString errorText(const QDBusMessage& reply) {
    if (reply.errorMessage().isEmpty()) {
        return reply.errorName();
    }
    return reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
}

}  // namespace ambleguard::linuxdesktop
