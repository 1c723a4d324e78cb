#pragma once

#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "platform/SystemPower.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QObject>

#include <chrono>
#include <optional>

namespace ambleguard::linuxdesktop {

// Sleep and wake from logind's PrepareForSleep, and the displays waking from the screen
// saver's ActiveChanged(false) (GNOME's or the freedesktop one).
//
// logind suspends as soon as PrepareForSleep(true) is sent unless someone holds a "delay"
// inhibitor, so one is held while awake. On PrepareForSleep(true) the willSleep observers run,
// and the inhibitor is released only from a main-queue task posted after them, so work they
// post at once (locking the screen, stopping the scan) runs before the machine goes down. It is
// taken again on wake. Without logind, nothing is announced (logged once).
class LogindSystemPower final : public QObject, public SystemPower {
    Q_OBJECT

  public:
    LogindSystemPower(QDBusConnection systemBus, QDBusConnection sessionBus, MainQueue& mainQueue,
                      LogSink& logSink);

    [[nodiscard]] Connection observe(PowerNotice notice, std::function<void()> handler) override;

    // Whether a sleep delay is held right now.
    bool holdsSleepDelay() const { return inhibitor_.isValid(); }

  private Q_SLOTS:
    void onPrepareForSleep(const QDBusMessage& message);
    void onScreenSaverActiveChanged(const QDBusMessage& message);
    void onDisplayConfigChanged(const QDBusMessage& message);

  private:
    // Notices of the screens waking this close together are one wake.
    static constexpr std::chrono::seconds kSameScreensWake{2};

    void takeSleepDelay();
    void screensWoke();
    Signal<>& signalFor(PowerNotice notice);

    QDBusConnection system_;
    QDBusConnection session_;
    MainQueue& mainQueue_;
    Logger log_;
    QDBusUnixFileDescriptor inhibitor_;
    bool inhibitFailureLogged_ = false;
    Signal<> willSleep_;
    Signal<> didWake_;
    Signal<> screensDidWake_;
    std::optional<std::chrono::steady_clock::time_point> lastScreensWake_;
    LivenessToken liveness_;
};

}  // namespace ambleguard::linuxdesktop
