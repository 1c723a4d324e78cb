#pragma once

#include "ui/OnboardingPage.h"

class QCheckBox;
class QLabel;

namespace ambleguard {
class Application;
}

namespace ambleguard::ui {

// Whether the program starts at login. The choice is only stored here; it is applied when
// onboarding completes, so leaving onboarding early changes nothing on the system.
class LaunchAtLoginPage final : public OnboardingPage {
    Q_OBJECT

  public:
    explicit LaunchAtLoginPage(Application& app, QWidget* parent = nullptr);

    QCheckBox* launchSwitch() const { return switch_; }

  private:
    void updateCaption();

    Application& app_;
    QCheckBox* switch_;
    QLabel* caption_;
};

}  // namespace ambleguard::ui
