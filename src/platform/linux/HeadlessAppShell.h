#pragma once

#include "base/Log.h"
#include "platform/AppShell.h"

#include <optional>

namespace ambleguard::linuxdesktop {

// The application shell when the program runs with no window at all (a tiling window manager,
// a systemd user service, tests). There is nothing to show: the interface calls are logged,
// and onboarding waits for the terminal (`ambleguard devices`, `ambleguard track ID`) because
// nobody can click through it. Main thread only.
class HeadlessAppShell final : public AppShell {
  public:
    explicit HeadlessAppShell(LogSink& logSink) : log_(logSink, "App") {}

    void setActivationPolicy(ActivationPolicy policy) override;
    void activate() override;
    void disableAutomaticTermination(std::string_view reason) override;
    void disableSuddenTermination() override {}
    void setProcessPriority(int priority) override;
    void showOnboardingWindow(OnboardingWindowHandlers handlers) override;
    void closeOnboardingWindow() override;
    void setupMainInterface(bool hidePopoverAnchor) override;
    void updateStatusItem() override {}
    void startUpdater(bool startUpdating) override;

    // True while onboarding is waiting (as if its window were open).
    bool onboardingOpen() const { return onboarding_.has_value(); }

  private:
    Logger log_;
    std::optional<OnboardingWindowHandlers> onboarding_;
};

}  // namespace ambleguard::linuxdesktop
