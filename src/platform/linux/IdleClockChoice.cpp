#include "platform/linux/IdleClockChoice.h"

#include "platform/linux/MutterIdleClock.h"
#include "platform/linux/ScreenSaverIdleClock.h"
#include "platform/linux/XssIdleClock.h"

#include <cstdlib>
#include <string_view>

namespace ambleguard::linuxdesktop {

std::unique_ptr<IdleClock> chooseIdleClock(const QDBusConnection& sessionBus,
                                           const std::optional<std::string>& x11Display,
                                           LogSink& logSink) {
    Logger log(logSink, "Activity");
    std::unique_ptr<IdleClock> candidates[] = {
        std::make_unique<MutterIdleClock>(sessionBus),
        std::make_unique<ScreenSaverIdleClock>(sessionBus),
    };
    const char* names[] = {"org.gnome.Mutter.IdleMonitor",
                           "org.freedesktop.ScreenSaver.GetSessionIdleTime"};
    for (std::size_t i = 0; i < std::size(candidates); ++i) {
        if (candidates[i]->secondsSinceLastInput()) {
            log.info("Idle time from {}", names[i]);
            return std::move(candidates[i]);
        }
    }
    if (x11Display) {
        if (auto xss = XssIdleClock::open(*x11Display); xss && xss->secondsSinceLastInput()) {
            log.info("Idle time from the X screen-saver extension on {}", *x11Display);
            return xss;
        }
    }
    log.error("No idle-time source answered; idle time is unknown");
    return std::make_unique<NullIdleClock>();
}

std::optional<std::string> x11DisplayForIdleTime() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* sessionType = std::getenv("XDG_SESSION_TYPE");
    if (display == nullptr || *display == '\0') {
        return std::nullopt;
    }
    if ((wayland != nullptr && *wayland != '\0') ||
        (sessionType != nullptr && std::string_view(sessionType) == "wayland")) {
        return std::nullopt;
    }
    return std::string(display);
}

}  // namespace ambleguard::linuxdesktop
