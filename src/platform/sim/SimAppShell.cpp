#include "platform/sim/SimAppShell.h"

#include <algorithm>
#include <utility>

#include <fmt/format.h>

namespace ambleguard::sim {

void SimAppShell::setActivationPolicy(ActivationPolicy policy) {
    policy_ = policy;
    record(policy == ActivationPolicy::regular ? "activation policy: regular"
                                               : "activation policy: accessory");
}

void SimAppShell::activate() {
    record("brought to front");
}

void SimAppShell::disableAutomaticTermination(std::string_view reason) {
    record(fmt::format("automatic termination disabled: {}", reason));
}

void SimAppShell::disableSuddenTermination() {
    record("sudden termination disabled");
}

void SimAppShell::setProcessPriority(int priority) {
    record(fmt::format("process priority: {}", priority));
}

void SimAppShell::showOnboardingWindow(OnboardingWindowHandlers handlers) {
    window_ = std::move(handlers);
    windowOpen_ = true;
    record("onboarding window shown");
}

void SimAppShell::closeOnboardingWindow() {
    if (!windowOpen_) {
        return;
    }
    record("onboarding window closed");
    windowOpen_ = false;
    // The handlers may end up here again (closing from the completion); take them out first.
    auto handlers = std::exchange(window_, {});
    if (handlers.willClose) {
        handlers.willClose();
    }
}

void SimAppShell::setupMainInterface(bool hidePopoverAnchor) {
    mainInterfaceBuilt_ = true;
    record(fmt::format("main interface set up (popover anchor hidden: {})",
                       hidePopoverAnchor ? "true" : "false"));
}

void SimAppShell::updateStatusItem() {
    record("status item redrawn");
}

void SimAppShell::startUpdater(bool startUpdating) {
    record(startUpdating ? "updater created and started" : "updater created, not started");
}

void SimAppShell::userFinishesOnboarding() {
    if (!windowOpen_) {
        return;
    }
    record("user finishes onboarding");
    // A copy: the completion closes the window, which drops the stored handlers.
    auto completed = window_.completed;
    if (completed) {
        completed();
    }
}

void SimAppShell::userClosesOnboardingWindow() {
    if (!windowOpen_) {
        return;
    }
    record("user closes the onboarding window");
    closeOnboardingWindow();
}

std::size_t SimAppShell::count(std::string_view call) const {
    return static_cast<std::size_t>(std::count(calls_.begin(), calls_.end(), call));
}

Connection SimAppShell::onCall(std::function<void(const std::string&)> observer) {
    return callRecorded_.connect(std::move(observer));
}

void SimAppShell::record(std::string call) {
    calls_.push_back(std::move(call));
    callRecorded_.emit(calls_.back());
}

}  // namespace ambleguard::sim
