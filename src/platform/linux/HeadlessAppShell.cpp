#include "platform/linux/HeadlessAppShell.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstring>

namespace ambleguard::linuxdesktop {

void HeadlessAppShell::setActivationPolicy(ActivationPolicy policy) {
    log_.debug("Activation policy: {} (no window: running headless)",
               policy == ActivationPolicy::regular ? "regular" : "accessory");
}

void HeadlessAppShell::activate() {
    log_.info("Asked to show itself, but it runs headless: there is no window");
}

void HeadlessAppShell::disableAutomaticTermination(std::string_view reason) {
    log_.debug("Automatic termination does not exist here ({})", reason);
}

void HeadlessAppShell::setProcessPriority(int priority) {
    if (::setpriority(PRIO_PROCESS, 0, priority) != 0) {
        // Raising priority needs privileges; running at the default is fine.
        log_.debug("setpriority({}) refused: {}", priority, std::strerror(errno));
    }
}

void HeadlessAppShell::showOnboardingWindow(OnboardingWindowHandlers handlers) {
    onboarding_ = std::move(handlers);
    log_.notice(
        "Running headless: no onboarding window. Choose the device to track from a terminal: "
        "`ambleguard devices`, then `ambleguard track ID`, then start the program again");
}

void HeadlessAppShell::closeOnboardingWindow() {
    if (!onboarding_) {
        return;
    }
    auto handlers = std::move(*onboarding_);
    onboarding_.reset();
    if (handlers.willClose) {
        handlers.willClose();
    }
}

void HeadlessAppShell::setupMainInterface(bool /*hidePopoverAnchor*/) {
    log_.info("Running headless: no tray icon or window; monitoring in the background");
}

void HeadlessAppShell::startUpdater(bool startUpdating) {
    log_.debug("No update checker in this build (asked to start: {})", startUpdating);
}

}  // namespace ambleguard::linuxdesktop
