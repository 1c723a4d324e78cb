#pragma once

#include "app/OnboardingFlow.h"
#include "base/Liveness.h"
#include "platform/AppShell.h"
#include "ui/OnboardingPage.h"

#include <QPointer>
#include <QWidget>

class QDialogButtonBox;
class QScrollArea;
class QVBoxLayout;

namespace ambleguard {
class Application;
}

namespace ambleguard::ui {

// The first-run window: the agreement, the permissions, the device, the threshold and launch
// at login, then the final screen, one at a time in that order. Each screen is built when it
// comes up and stops what it started when it goes. The steps done are kept only here, so
// closing the window early and starting again begins at the agreement; what the screens wrote
// to the settings stays.
class OnboardingWindow final : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kContentWidth = 700;
    static constexpr int kContentHeight = 600;

    OnboardingWindow(Application& app, OnboardingWindowHandlers handlers,
                     QWidget* parent = nullptr);
    ~OnboardingWindow() override;

    OnboardingScreen currentScreen() const { return screen_; }
    OnboardingPage* currentPage() const { return page_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void showScreen(OnboardingScreen screen);
    OnboardingPage* makePage(OnboardingScreen screen);
    void stepDone();

    Application& app_;
    OnboardingWindowHandlers handlers_;
    OnboardingFlags flags_;
    OnboardingScreen screen_ = OnboardingScreen::agreement;
    QScrollArea* scroll_;
    QVBoxLayout* buttonRow_;
    // The current screen's buttons, shown below its content.
    QPointer<QDialogButtonBox> buttons_;
    QPointer<OnboardingPage> page_;
    bool closeReported_ = false;
    LivenessToken liveness_;
};

}  // namespace ambleguard::ui
