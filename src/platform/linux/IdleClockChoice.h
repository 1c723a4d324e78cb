#pragma once

#include "base/Log.h"
#include "platform/IdleClock.h"

#include <QDBusConnection>

#include <memory>
#include <optional>
#include <string>

namespace ambleguard::linuxdesktop {

// Picks the idle-time source this desktop answers on, trying in order GNOME's idle monitor,
// KDE's session idle time and, given an X11 display, the X screen-saver extension. When none
// answers, idle time is unknown (logged once) and never blocks anything.
std::unique_ptr<IdleClock> chooseIdleClock(const QDBusConnection& sessionBus,
                                           const std::optional<std::string>& x11Display,
                                           LogSink& logSink);

// The X11 display to ask for idle time: $DISPLAY, but only in an X11 session. Under Wayland the
// X server (XWayland) would report the time since the last input to X clients only.
std::optional<std::string> x11DisplayForIdleTime();

}  // namespace ambleguard::linuxdesktop
