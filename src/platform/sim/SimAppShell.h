#pragma once

#include "base/Signal.h"
#include "platform/AppShell.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard::sim {

// The user interface of the simulated world: nothing is drawn. Every request is recorded as a
// call ("activation policy: regular", "status item redrawn", ...) for tests and the
// simulator's transcript, and the user's part of the onboarding window (finishing it or
// closing it early) can be played out.
class SimAppShell final : public AppShell {
  public:
    // The port.
    void setActivationPolicy(ActivationPolicy policy) override;
    void activate() override;
    void disableAutomaticTermination(std::string_view reason) override;
    void disableSuddenTermination() override;
    void setProcessPriority(int priority) override;
    void showOnboardingWindow(OnboardingWindowHandlers handlers) override;
    void closeOnboardingWindow() override;
    void setupMainInterface(bool hidePopoverAnchor) override;
    void updateStatusItem() override;
    void startUpdater(bool startUpdating) override;

    // The user at the onboarding window. Both do nothing while no window is open.
    void userFinishesOnboarding();
    void userClosesOnboardingWindow();

    // What the interface looks like now.
    ActivationPolicy activationPolicy() const { return policy_; }
    bool onboardingWindowOpen() const { return windowOpen_; }
    bool mainInterfaceBuilt() const { return mainInterfaceBuilt_; }

    const std::vector<std::string>& calls() const { return calls_; }
    std::size_t count(std::string_view call) const;
    // Raised for every call as it is recorded.
    [[nodiscard]] Connection onCall(std::function<void(const std::string&)> observer);

  private:
    void record(std::string call);

    ActivationPolicy policy_ = ActivationPolicy::regular;
    bool windowOpen_ = false;
    bool mainInterfaceBuilt_ = false;
    OnboardingWindowHandlers window_;
    std::vector<std::string> calls_;
    Signal<const std::string&> callRecorded_;
};

}  // namespace ambleguard::sim
