#pragma once

#include "platform/IdleClock.h"

#include <QDBusConnection>

namespace ambleguard::linuxdesktop {

// KDE's idle time: org.freedesktop.ScreenSaver's GetSessionIdleTime, in milliseconds. Other
// desktops own the same name without implementing the method; they answer with an error and
// the time is unknown.
class ScreenSaverIdleClock final : public IdleClock {
  public:
    explicit ScreenSaverIdleClock(QDBusConnection sessionBus) : bus_(std::move(sessionBus)) {}
    std::optional<double> secondsSinceLastInput() override;

  private:
    QDBusConnection bus_;
};

}  // namespace ambleguard::linuxdesktop
