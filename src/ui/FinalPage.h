#pragma once

#include "ui/OnboardingPage.h"

namespace ambleguard::ui {

// The end of onboarding: the program is ready, and where to find it from now on.
class FinalPage final : public OnboardingPage {
    Q_OBJECT

  public:
    // Without a system tray the program is reopened from the application launcher instead.
    explicit FinalPage(bool trayAvailable, QWidget* parent = nullptr);

    static QString readyText(bool trayAvailable);
};

}  // namespace ambleguard::ui
