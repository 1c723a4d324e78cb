#include "platform/linux/LogindSystemPower.h"

#include "platform/linux/DBusCalls.h"

#include <QDBusArgument>

namespace ambleguard::linuxdesktop {

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

}  // namespace

LogindSystemPower::LogindSystemPower(QDBusConnection systemBus, QDBusConnection sessionBus,
                                     MainQueue& mainQueue, LogSink& logSink)
    : system_(std::move(systemBus)),
      session_(std::move(sessionBus)),
      mainQueue_(mainQueue),
      log_(logSink, "Power") {
    system_.connect(kLogind, kManagerPath, kManager, QStringLiteral("PrepareForSleep"), this,
                    SLOT(onPrepareForSleep(QDBusMessage)));
    // Any sender: the name is owned by whichever desktop runs.
    for (const auto* interface : {"org.gnome.ScreenSaver", "org.freedesktop.ScreenSaver"}) {
        session_.connect(QString(), QString(), QString::fromLatin1(interface),
                         QStringLiteral("ActiveChanged"), this,
                         SLOT(onScreenSaverActiveChanged(QDBusMessage)));
    }
    // GNOME says when its displays power up again (the screen saver only ends at unlock there).
    session_.connect(QStringLiteral("org.gnome.Mutter.DisplayConfig"),
                     QStringLiteral("/org/gnome/Mutter/DisplayConfig"),
                     QStringLiteral("org.freedesktop.DBus.Properties"),
                     QStringLiteral("PropertiesChanged"), this,
                     SLOT(onDisplayConfigChanged(QDBusMessage)));
    takeSleepDelay();
}

void LogindSystemPower::takeSleepDelay() {
    if (inhibitor_.isValid()) {
        return;
    }
    auto call =
        QDBusMessage::createMethodCall(kLogind, kManagerPath, kManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Ambleguard")
         << QStringLiteral("Lock the screen before sleeping") << QStringLiteral("delay");
    const QDBusMessage reply = callAndWait(system_, call);
    if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("h")) {
        inhibitor_ = reply.arguments().at(0).value<QDBusUnixFileDescriptor>();
    }
    if (!inhibitor_.isValid() && !inhibitFailureLogged_) {
        // Sleep still works; the screen may just lock after the machine is already down.
        inhibitFailureLogged_ = true;
        log_.error("No sleep delay from logind ({}); sleep will not wait for the screen lock",
                   reply.type() == QDBusMessage::ErrorMessage ? errorText(reply).toStdString()
                                                              : std::string("no descriptor"));
    }
}

void LogindSystemPower::onPrepareForSleep(const QDBusMessage& message) {
    if (message.signature() != QLatin1String("b")) {
        return;
    }
    if (message.arguments().at(0).toBool()) {
        willSleep_.emit();
        // Behind whatever the observers have just posted: the queue runs equal deadlines in
        // order.
        mainQueue_.post(liveness_.guarded([this] {
            inhibitor_ = QDBusUnixFileDescriptor();  // closing our copy lets logind go on
        }));
    } else {
        takeSleepDelay();
        didWake_.emit();
    }
}

void LogindSystemPower::onScreenSaverActiveChanged(const QDBusMessage& message) {
    if (message.signature() == QLatin1String("b") && !message.arguments().at(0).toBool()) {
        screensWoke();
    }
}

void LogindSystemPower::onDisplayConfigChanged(const QDBusMessage& message) {
    if (message.arguments().size() < 2 ||
        message.arguments().at(0).toString() != QLatin1String("org.gnome.Mutter.DisplayConfig")) {
        return;
    }
    const auto changed = qdbus_cast<QVariantMap>(message.arguments().at(1));
    const auto mode = changed.find(QStringLiteral("PowerSaveMode"));
    // 0 is on; 1 to 3 are the standby, suspend and off power-saving states.
    if (mode != changed.end() && mode->toInt() == 0) {
        screensWoke();
    }
}

void LogindSystemPower::screensWoke() {
    // One wake can be told twice (the displays power up, then the screen saver ends).
    const auto now = std::chrono::steady_clock::now();
    if (lastScreensWake_ && now - *lastScreensWake_ < kSameScreensWake) {
        return;
    }
    lastScreensWake_ = now;
    screensDidWake_.emit();
}

Signal<>& LogindSystemPower::signalFor(PowerNotice notice) {
    switch (notice) {
        case PowerNotice::willSleep:
            return willSleep_;
        case PowerNotice::didWake:
            return didWake_;
        case PowerNotice::screensDidWake:
            break;
    }
    return screensDidWake_;
}

Connection LogindSystemPower::observe(PowerNotice notice, std::function<void()> handler) {
    return signalFor(notice).connect(std::move(handler));
}

}  // namespace ambleguard::linuxdesktop
