#pragma once

#include "base/Log.h"
#include "base/Signal.h"
#include "platform/ScreenSession.h"
#include "platform/SessionUnlock.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace ambleguard::linuxdesktop {

// The login session through logind (system bus) and the desktop's screen saver (session bus).
//
// The session is the one logind names "auto": the caller's own, or the user's graphical session
// when we run outside it (as a systemd user service). Lock state is its LockedHint, which GNOME
// and KDE keep up to date, followed through PropertiesChanged; its Active property going false
// and true is fast user switching. Locking is Session.Lock(), which the desktop's locker obeys.
// The screen saver is GNOME's org.gnome.ScreenSaver, else the freedesktop one (KDE).
//
// Lives on the main thread; notices are delivered there. Without logind (or without a session)
// the lock state is unknown and locking reports why it cannot.
class LogindScreenSession final : public QObject, public ScreenSession, public SessionUnlock {
    Q_OBJECT

  public:
    struct Options {
        // Started by launchScreenSaverApplication, detached.
        QString screenSaverProgram = QStringLiteral("xdg-screensaver");
        QStringList screenSaverArguments{QStringLiteral("activate")};
    };

    LogindScreenSession(QDBusConnection systemBus, QDBusConnection sessionBus, LogSink& logSink,
                        Options options);
    LogindScreenSession(QDBusConnection systemBus, QDBusConnection sessionBus, LogSink& logSink)
        : LogindScreenSession(std::move(systemBus), std::move(sessionBus), logSink, Options{}) {}

    std::optional<bool> screenIsLockedNow() const override;
    [[nodiscard]] Connection observe(ScreenNotice notice, std::function<void()> handler) override;
    Result<void> lockScreenImmediately() override;

    // Asking logind to unlock our own session; GNOME's and KDE's lock screens honour it.
    bool sessionFound() const override { return !sessionPath_.isEmpty(); }
    Result<void> requestUnlock() override;
    std::optional<std::int32_t> startScreenSaver() override;
    Result<void> launchScreenSaverApplication() override;
    std::string_view directLockEntryPoint() const override {
        return "org.freedesktop.login1.Session.Lock";
    }
    std::string_view screenSaverEntryPoint() const override { return "ScreenSaver.SetActive"; }

    // The session's object path; empty when logind gave none.
    const QString& sessionPath() const { return sessionPath_; }

  private Q_SLOTS:
    void onSessionPropertiesChanged(const QDBusMessage& message);

  private:
    void findSession();
    void applyLocked(bool locked);
    void applyActive(bool active);
    std::optional<bool> readBool(const QString& property) const;
    Signal<>& signalFor(ScreenNotice notice);

    QDBusConnection system_;
    QDBusConnection session_;
    Logger log_;
    Options options_;
    QString sessionPath_;
    QString noSessionReason_;
    std::optional<bool> lastLocked_;
    std::optional<bool> lastActive_;
    Signal<> locked_;
    Signal<> unlocked_;
    Signal<> switchedAway_;
    Signal<> switchedBack_;
};

}  // namespace ambleguard::linuxdesktop
