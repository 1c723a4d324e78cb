#include "platform/linux/FreedesktopNotifier.h"

#include "platform/linux/DBusCalls.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QStringList>
#include <QVariantMap>

namespace ambleguard::linuxdesktop {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

// The notification standard's urgency levels: 0 low, 1 normal, 2 critical.
unsigned char urgency(InterruptionLevel level) {
    switch (level) {
        case InterruptionLevel::passive:
            return 0;
        case InterruptionLevel::active:
        case InterruptionLevel::timeSensitive:
            return 1;
        case InterruptionLevel::critical:
            break;
    }
    return 2;
}

// Texts carry names from outside (a device's name). Controls that reorder text would let such a
// name disguise the rest of the line; they are shown as the replacement character instead.
QString withoutDirectionControls(QString text) {
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069) || u == 0x200E ||
            u == 0x200F || u == 0x061C) {
            c = QChar(0xFFFD);
        }
    }
    return text;
}

}  // namespace

bool FreedesktopNotifier::bodyMarkup() {
    if (!bodyMarkup_) {
        const auto call = QDBusMessage::createMethodCall(
            kService, QStringLiteral("/org/freedesktop/Notifications"), kService,
            QStringLiteral("GetCapabilities"));
        const QDBusMessage reply = callAndWait(bus_, call);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            return false;  // asked again next time
        }
        bodyMarkup_ =
            reply.arguments().value(0).toStringList().contains(QStringLiteral("body-markup"));
    }
    return *bodyMarkup_;
}

FreedesktopNotifier::FreedesktopNotifier(QDBusConnection sessionBus, LogSink& logSink)
    : bus_(std::move(sessionBus)),
      log_(logSink, "Notifications"),
      shownIds_(std::make_shared<std::map<std::string, std::uint32_t>>()) {}

bool FreedesktopNotifier::serviceAvailable() const {
    const QDBusConnectionInterface* daemon = bus_.interface();
    if (daemon == nullptr) {
        return false;
    }
    if (daemon->isServiceRegistered(kService).value()) {
        return true;
    }
    return daemon->activatableServiceNames().value().contains(kService);
}

void FreedesktopNotifier::deliver(NotificationRequest request, Completion completion) {
    if (!serviceAvailable()) {
        if (!missingLogged_) {
            missingLogged_ = true;
            log_.error("No notification service on the session bus; notifications are off");
        }
        if (completion) {
            completion(failure("no notification service is running"));
        }
        return;
    }

    const auto known = shownIds_->find(request.identifier);
    const std::uint32_t replaces = known != shownIds_->end() ? known->second : 0;
    QVariantMap hints;
    // Names the installed desktop entry, so the desktop files the notification under the
    // program (GNOME lists programs in its notification settings by it).
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("ambleguard"));
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue<uchar>(urgency(request.interruptionLevel)));
    if (!request.playsSound) {
        hints.insert(QStringLiteral("suppress-sound"), true);
    }
    auto call =
        QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                       kService, QStringLiteral("Notify"));
    QString body = withoutDirectionControls(QString::fromStdString(request.body));
    if (bodyMarkup()) {
        // A server that reads markup would take "<" or "&" in a name as markup.
        body = body.toHtmlEscaped();
    }
    call << QStringLiteral("Ambleguard") << replaces << QString()
         << withoutDirectionControls(QString::fromStdString(request.title)) << body << QStringList()
         << hints << -1;

    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [ids = std::weak_ptr(shownIds_), identifier = std::move(request.identifier),
             completion = std::move(completion)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusMessage reply = finished->reply();
                Result<void> delivered = Result<void>::success();
                if (reply.type() != QDBusMessage::ReplyMessage) {
                    delivered = failure(errorText(reply).toStdString());
                } else if (reply.signature() != QLatin1String("u")) {
                    delivered = failure(
                        "the notification service answered Notify with an unexpected reply");
                } else if (auto shown = ids.lock()) {
                    (*shown)[identifier] = reply.arguments().at(0).toUInt();
                }
                if (completion) {
                    completion(std::move(delivered));
                }
            });
}

}  // namespace ambleguard::linuxdesktop
