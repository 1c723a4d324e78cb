#pragma once

#include "base/MainQueue.h"
#include "ui/OnboardingPage.h"

#include <functional>

namespace ambleguard::ui {

// The first screen: what the program does and what to expect of it. Continue becomes usable
// only a second after the screen appears, so a click meant for something else cannot accept
// it; Quit ends the program.
class AgreementPage final : public OnboardingPage {
    Q_OBJECT

  public:
    static constexpr double kAcceptDelay = 1.0;

    AgreementPage(MainQueue& mainQueue, bool checksForUpdates, std::function<void()> quit,
                  QWidget* parent = nullptr);

    void leave() override { allowAccept_.cancel(); }

    // `checksForUpdates`: this build asks a version service for newer versions.
    static QString agreementText(bool checksForUpdates);

  private:
    ScopedTimer allowAccept_;
};

}  // namespace ambleguard::ui
