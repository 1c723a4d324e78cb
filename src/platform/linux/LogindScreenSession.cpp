#include "platform/linux/LogindScreenSession.h"

#include "platform/linux/DBusCalls.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QProcess>

namespace ambleguard::linuxdesktop {

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");

struct ScreenSaverService {
    QString service;
    QString path;
};

// GNOME first: its shell answers on the freedesktop name too, but only for inhibition.
const ScreenSaverService kScreenSavers[] = {
    {QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver")},
    {QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver")},
};

}  // namespace

LogindScreenSession::LogindScreenSession(QDBusConnection systemBus, QDBusConnection sessionBus,
                                         LogSink& logSink, Options options)
    : system_(std::move(systemBus)),
      session_(std::move(sessionBus)),
      log_(logSink, "ScreenLock"),
      options_(std::move(options)) {
    findSession();
    if (sessionPath_.isEmpty()) {
        return;
    }
    // Subscribe before reading, so a change in between is not lost (at worst seen twice, and
    // notices fire only on a real change).
    system_.connect(kLogind, sessionPath_, QStringLiteral("org.freedesktop.DBus.Properties"),
                    QStringLiteral("PropertiesChanged"), this,
                    SLOT(onSessionPropertiesChanged(QDBusMessage)));
    lastLocked_ = readBool(QStringLiteral("LockedHint"));
    lastActive_ = readBool(QStringLiteral("Active"));
}

void LogindScreenSession::findSession() {
    auto call = QDBusMessage::createMethodCall(kLogind, kManagerPath, kManager,
                                               QStringLiteral("GetSession"));
    call << QStringLiteral("auto");
    const QDBusMessage reply = callAndWait(system_, call);
    if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("o")) {
        sessionPath_ = reply.arguments().at(0).value<QDBusObjectPath>().path();
        return;
    }
    noSessionReason_ = reply.type() == QDBusMessage::ErrorMessage
                           ? QStringLiteral("logind gave no session (%1)").arg(errorText(reply))
                           : QStringLiteral("logind answered GetSession with an unexpected reply");
    log_.error("Screen lock state unavailable: {}", noSessionReason_.toStdString());
}

std::optional<bool> LogindScreenSession::readBool(const QString& property) const {
    auto value = readProperty(system_, kLogind, sessionPath_, kSession, property);
    if (!value || value->metaType().id() != QMetaType::Bool) {
        return std::nullopt;
    }
    return value->toBool();
}

std::optional<bool> LogindScreenSession::screenIsLockedNow() const {
    if (sessionPath_.isEmpty()) {
        return std::nullopt;
    }
    return readBool(QStringLiteral("LockedHint"));
}

void LogindScreenSession::onSessionPropertiesChanged(const QDBusMessage& message) {
    if (message.signature() != QLatin1String("sa{sv}as") ||
        message.arguments().at(0).toString() != kSession) {
        return;
    }
    const auto changed = qdbus_cast<QVariantMap>(message.arguments().at(1));
    const auto invalidated = message.arguments().at(2).toStringList();
    const auto fetch = [&](const QString& name) -> std::optional<bool> {
        const auto it = changed.constFind(name);
        if (it != changed.constEnd()) {
            if (it->metaType().id() == QMetaType::Bool) {
                return it->toBool();
            }
            return std::nullopt;  // a value of the wrong type is ignored, not guessed at
        }
        if (invalidated.contains(name)) {
            return readBool(name);
        }
        return std::nullopt;
    };
    if (auto locked = fetch(QStringLiteral("LockedHint"))) {
        applyLocked(*locked);
    }
    if (auto active = fetch(QStringLiteral("Active"))) {
        applyActive(*active);
    }
}

void LogindScreenSession::applyLocked(bool locked) {
    if (lastLocked_ == locked) {
        return;
    }
    lastLocked_ = locked;
    (locked ? locked_ : unlocked_).emit();
}

void LogindScreenSession::applyActive(bool active) {
    if (lastActive_ == active) {
        return;
    }
    // The first value seen is where we start, not a switch.
    const bool known = lastActive_.has_value();
    lastActive_ = active;
    if (known) {
        (active ? switchedBack_ : switchedAway_).emit();
    }
}

Signal<>& LogindScreenSession::signalFor(ScreenNotice notice) {
    switch (notice) {
        case ScreenNotice::locked:
            return locked_;
        case ScreenNotice::unlocked:
            return unlocked_;
        case ScreenNotice::switchedAway:
            return switchedAway_;
        case ScreenNotice::switchedBack:
            break;
    }
    return switchedBack_;
}

Connection LogindScreenSession::observe(ScreenNotice notice, std::function<void()> handler) {
    return signalFor(notice).connect(std::move(handler));
}

Result<void> LogindScreenSession::lockScreenImmediately() {
    if (sessionPath_.isEmpty()) {
        return failure(noSessionReason_.toStdString());
    }
    // Waited for, so that a refusal (polkit, a vanished session) falls back to the screen saver
    // instead of passing unnoticed; logind answers at once and the locker follows on its own.
    const auto call =
        QDBusMessage::createMethodCall(kLogind, sessionPath_, kSession, QStringLiteral("Lock"));
    const QDBusMessage reply = callAndWait(system_, call);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return failure(
            QStringLiteral("Session.Lock failed (%1)").arg(errorText(reply)).toStdString());
    }
    return Result<void>::success();
}

Result<void> LogindScreenSession::requestUnlock() {
    if (sessionPath_.isEmpty()) {
        return failure(noSessionReason_.toStdString());
    }
    const auto call =
        QDBusMessage::createMethodCall(kLogind, sessionPath_, kSession, QStringLiteral("Unlock"));
    const QDBusMessage reply = callAndWait(system_, call);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return failure(
            QStringLiteral("Session.Unlock failed (%1)").arg(errorText(reply)).toStdString());
    }
    return Result<void>::success();
}

std::optional<std::int32_t> LogindScreenSession::startScreenSaver() {
    for (const auto& saver : kScreenSavers) {
        auto call = QDBusMessage::createMethodCall(saver.service, saver.path, saver.service,
                                                   QStringLiteral("SetActive"));
        call << true;
        const QDBusMessage reply = callAndWait(session_, call);
        if (isMissingService(reply)) {
            continue;
        }
        if (reply.type() != QDBusMessage::ReplyMessage) {
            log_.error("{}.SetActive failed: {}", saver.service.toStdString(),
                       errorText(reply).toStdString());
            return 1;
        }
        // The freedesktop variant says whether it took effect; GNOME's returns nothing.
        if (reply.signature() == QLatin1String("b") && !reply.arguments().at(0).toBool()) {
            return 1;
        }
        return 0;
    }
    return std::nullopt;
}

Result<void> LogindScreenSession::launchScreenSaverApplication() {
    QProcess process;
    process.setProgram(options_.screenSaverProgram);
    process.setArguments(options_.screenSaverArguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        return failure(QStringLiteral("%1: %2")
                           .arg(options_.screenSaverProgram, process.errorString())
                           .toStdString());
    }
    return Result<void>::success();
}

}  // namespace ambleguard::linuxdesktop
