#pragma once

#include <functional>
#include <string_view>

namespace ambleguard {

// A regular application has a Dock icon and a main menu; an accessory one lives only in the
// status bar.
enum class ActivationPolicy { regular, accessory };

// What the first-run window reports to whoever showed it.
struct OnboardingWindowHandlers {
    // The user went through onboarding to the end.
    std::function<void()> completed;
    // The window is about to close, whether the user closed it or closeOnboardingWindow() did.
    std::function<void()> willClose;
};

// The application object and the user interface around it, as the lifecycle drives them. The
// desktop user interface implements it; the core only decides what happens and in which order.
// Main queue only.
class AppShell {
  public:
    virtual ~AppShell() = default;

    virtual void setActivationPolicy(ActivationPolicy policy) = 0;
    // Brings the application to the front, ahead of other applications.
    virtual void activate() = 0;

    // Asks the system not to end the process on its own to reclaim resources.
    virtual void disableAutomaticTermination(std::string_view reason) = 0;
    virtual void disableSuddenTermination() = 0;
    // The whole process's scheduling priority (lower is more favoured). Best effort: a refusal
    // is ignored.
    virtual void setProcessPriority(int priority) = 0;

    // Shows the onboarding window in front, as the key window.
    virtual void showOnboardingWindow(OnboardingWindowHandlers handlers) = 0;
    // Closes the onboarding window if it is open; its willClose handler runs before this
    // returns.
    virtual void closeOnboardingWindow() = 0;

    // Builds the menu-bar presence: the main popover, the status item (drawn at once), the
    // signal glyph timer when enabled, the PIN popover and the status menu. The popover's
    // anchor arrow is hidden only when `hidePopoverAnchor` is set.
    virtual void setupMainInterface(bool hidePopoverAnchor) = 0;
    // Redraws the status item from the current settings; does nothing before it exists.
    virtual void updateStatusItem() = 0;

    // Creates the updater, replacing any earlier one. It checks on its own schedule only when
    // `startUpdating` is set.
    virtual void startUpdater(bool startUpdating) = 0;
};

}  // namespace ambleguard
