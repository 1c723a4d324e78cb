#pragma once

#include "base/Log.h"
#include "platform/Notifier.h"

#include <QDBusConnection>
#include <QObject>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ambleguard::linuxdesktop {

// Notifications through the freedesktop notification service (org.freedesktop.Notifications).
// A request with an identifier used before replaces the notification shown for it (so a
// repeated warning updates one bubble instead of stacking). The interruption level becomes the
// urgency hint, and a notification without sound asks the server to stay quiet.
//
// There is no permission to ask for on Linux: notifications are allowed when the service is
// running or can be started. Without it, requests fail with a clear error, logged once.
// Main thread only; completions run there too.
class FreedesktopNotifier final : public QObject, public Notifier {
    Q_OBJECT

  public:
    FreedesktopNotifier(QDBusConnection sessionBus, LogSink& logSink);

    void deliver(NotificationRequest request, Completion completion) override;

    // Whether a notification service has the name now or can be activated by the bus.
    bool serviceAvailable() const;

  private:
    // Whether the server reads markup in bodies (asked once it answers).
    bool bodyMarkup();

    QDBusConnection bus_;
    Logger log_;
    bool missingLogged_ = false;
    std::optional<bool> bodyMarkup_;
    // The server's id of the notification last shown for each identifier.
    std::shared_ptr<std::map<std::string, std::uint32_t>> shownIds_;
};

}  // namespace ambleguard::linuxdesktop
