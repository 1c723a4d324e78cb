#include "platform/linux/SessionUserActivity.h"

#include "platform/linux/DBusCalls.h"

#include <QDBusArgument>
#include <QDBusMessage>

#include <unistd.h>

#include <cmath>

namespace ambleguard::linuxdesktop {

namespace {

constexpr int kUnavailable = -1;

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");

struct Inhibitor {
    QString what;
    QString who;
    QString why;
    QString mode;
    quint32 uid = 0;
    quint32 pid = 0;
};

// ListInhibitors answers a(ssssuu); anything else is treated as no answer.
std::optional<std::vector<Inhibitor>> listInhibitors(const QDBusConnection& bus) {
    const auto call = QDBusMessage::createMethodCall(kLogind, kLogindPath, kLogindManager,
                                                     QStringLiteral("ListInhibitors"));
    const QDBusMessage reply = callAndWait(bus, call);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != "a(ssssuu)" ||
        reply.arguments().size() != 1) {
        return std::nullopt;
    }
    const auto argument = reply.arguments().front().value<QDBusArgument>();
    std::vector<Inhibitor> inhibitors;
    argument.beginArray();
    while (!argument.atEnd()) {
        Inhibitor i;
        argument.beginStructure();
        argument >> i.what >> i.who >> i.why >> i.mode >> i.uid >> i.pid;
        argument.endStructure();
        inhibitors.push_back(i);
    }
    argument.endArray();
    return inhibitors;
}

}  // namespace

SessionUserActivity::SessionUserActivity(QDBusConnection systemBus, QDBusConnection sessionBus,
                                         IdleClock& idle, const Clock& clock, LogSink& logSink)
    : system_(std::move(systemBus)),
      session_(std::move(sessionBus)),
      idle_(idle),
      clock_(clock),
      log_(logSink, "DisplayWake") {}

std::string_view SessionUserActivity::recordSourceName() const {
    return "the session idle time and logind ListInhibitors";
}

UserActivity::Records SessionUserActivity::currentRecords() {
    Records result;
    const Instant now = clock_.now();
    const auto idle = idle_.secondsSinceLastInput();
    if (idle && std::isfinite(*idle) && *idle >= 0) {
        ActivityRecord input;
        const Instant at = addSeconds(now, -*idle);
        input.updated = at;
        if (lastDeclaration_ &&
            std::fabs(secondsBetween(*lastDeclaration_, at)) <= kOwnDeclarationWindow) {
            input.name = "input.tickle.synthetic process: ambleguard";
            input.processName = "ambleguard";
            input.pid = static_cast<int>(::getpid());
        } else {
            input.name = "input.tickle product: keyboard or pointer service: session idle time";
            input.processName = "session";
        }
        result.records.push_back(std::move(input));
    }
    const auto inhibitors = listInhibitors(system_);
    if (inhibitors) {
        const auto uid = static_cast<quint32>(::getuid());
        for (const Inhibitor& i : *inhibitors) {
            // Only the user's own programs that keep the screen from blanking count.
            if (i.uid != uid || !i.what.split(QLatin1Char(':')).contains(QLatin1String("idle"))) {
                continue;
            }
            ActivityRecord declared;
            declared.name = i.why.toStdString();
            declared.processName = i.who.toStdString();
            declared.pid = static_cast<int>(i.pid);
            result.records.push_back(std::move(declared));
        }
    }
    if (!idle && !inhibitors) {
        result.status = kUnavailable;
    }
    return result;
}

int SessionUserActivity::declareUserActivity(std::string_view reason) {
    // KDE (and other freedesktop screen savers) implement SimulateUserActivity; GNOME Shell
    // wakes the displays when its screen saver is asked to be inactive.
    auto call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                               QStringLiteral("/org/freedesktop/ScreenSaver"),
                                               QStringLiteral("org.freedesktop.ScreenSaver"),
                                               QStringLiteral("SimulateUserActivity"));
    QDBusMessage reply = callAndWait(session_, call);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        auto gnome = QDBusMessage::createMethodCall(
            QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver"),
            QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("SetActive"));
        gnome << false;
        const QDBusMessage gnomeReply = callAndWait(session_, gnome);
        if (gnomeReply.type() != QDBusMessage::ReplyMessage) {
            log_.error(
                "Could not wake the displays ({}): SimulateUserActivity: {}; "
                "org.gnome.ScreenSaver.SetActive: {}",
                reason, errorText(reply).toStdString(), errorText(gnomeReply).toStdString());
            return kUnavailable;
        }
    }
    lastDeclaration_ = clock_.now();
    return 0;
}

}  // namespace ambleguard::linuxdesktop
