#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariant>

#include <optional>

namespace ambleguard::linuxdesktop {

// How long a blocking call to a desktop service may hold up the main thread. These services
// answer in milliseconds; one that does not is treated as missing rather than freezing us.
inline constexpr int kServiceCallTimeoutMs = 2000;

// Calls and waits for the answer (a reply or an error message) at most `timeoutMs`.
QDBusMessage callAndWait(const QDBusConnection& bus, const QDBusMessage& call,
                         int timeoutMs = kServiceCallTimeoutMs);

// True when an error reply means the service, object or method is not there at all, as opposed
// to a service that was reached and refused or failed.
bool isMissingService(const QDBusMessage& reply);

// org.freedesktop.DBus.Properties.Get, unwrapped; nothing on any error or a malformed reply.
std::optional<QVariant> readProperty(const QDBusConnection& bus, const QString& service,
                                     const QString& path, const QString& interface,
                                     const QString& name);

// The one-line description of an error reply, for logs.
QString errorText(const QDBusMessage& reply);

}  // namespace ambleguard::linuxdesktop
