#include "settings/LaunchAtLogin.h"

#include <string>

namespace ambleguard {

LaunchAtLogin::LaunchAtLogin(LoginItem& item, ConsoleOutput& console, LogSink& logSink)
    : item_(item), console_(console), log_(logSink, "LaunchAtLogin") {}

bool LaunchAtLogin::isEnabled() const {
    return item_.status() == LoginItem::Status::enabled;
}

void LaunchAtLogin::setEnabled(bool enabled) {
    willChange_.emit();
    // Registering again refreshes an entry that points at an older copy of the program; the
    // unregistering step's own failure does not matter, only the new registration does.
    if (enabled && isEnabled()) {
        (void)item_.unregisterItem();
    }
    const Result<void> changed = enabled ? item_.registerItem() : item_.unregisterItem();
    if (!changed) {
        log_.error("Failed to {} launch at login: {}", enabled ? "enable" : "disable",
                   changed.error());
    }
}

bool LaunchAtLogin::toggleLaunchAtLogin() {
    const bool requested = !isEnabled();
    console_.writeLine(std::string("Launch at login toggled to ") +
                       std::string(boolText(requested)));
    setEnabled(requested);
    const bool now = isEnabled();
    console_.writeLine(std::string("Launch at login toggled to ") + std::string(boolText(now)));
    return now;
}

Connection LaunchAtLogin::onWillChange(std::function<void()> observer) const {
    return willChange_.connect(std::move(observer));
}

}  // namespace ambleguard
