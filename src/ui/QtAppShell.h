#pragma once

#include "app/PinGate.h"
#include "base/Log.h"
#include "platform/AppShell.h"
#include "ui/PanelWindow.h"
#include "ui/PinPrompt.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <memory>
#include <optional>

class QDBusServiceWatcher;

namespace ambleguard {
class Application;
}

namespace ambleguard::ui {

class MainPanel;
class StatusItem;

// The application shell on the desktop: the tray icon and its menu, the panel the icon opens,
// the PIN prompt in front of the sensitive actions, and the first-run window. What only
// concerns the process (its priority, the update schedule) is passed on to the platform's own
// shell. Built before the application, which it shows once attached. Main thread only.
class QtAppShell final : public QObject, public AppShell {
    Q_OBJECT

  public:
    struct Options {
        QString version;
        // Opened by the menu's FAQ entry.
        QUrl faq;
        // Show the panel once the interface is up (started from the launcher, or nowhere else
        // to show it).
        bool presentAtStart = false;
    };

    QtAppShell(AppShell& processShell, LogSink& logSink, Options options);
    ~QtAppShell() override;

    // The application this shell shows; before it launches.
    void attach(Application& app);

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

    // The menu's entries, as the user reaches them.
    void openSettings();
    void toggleMonitoring();
    void quit();

    PanelWindow* panelWindow() const { return panel_; }
    MainPanel* mainPanel() const { return mainPanel_; }
    StatusItem* statusItem() const { return status_.get(); }
    PinPrompt* pinPrompt() const { return pinPrompt_; }
    QWidget* onboardingWindow() const { return onboarding_; }
    PinGate* pinGate() const { return pins_.get(); }
    bool hasTray() const { return hasTray_; }

  private:
    // Through the PIN gate when it is on.
    void guarded(std::function<void()> action);
    void togglePopover();
    void trayAvailabilityChanged();
    void openAddress(const QUrl& address);

    AppShell& processShell_;
    Logger log_;
    Options options_;
    Application* app_ = nullptr;
    std::unique_ptr<PinGate> pins_;
    std::unique_ptr<StatusItem> status_;
    QPointer<PanelWindow> panel_;
    MainPanel* mainPanel_ = nullptr;
    QPointer<PinPrompt> pinPrompt_;
    QPointer<QWidget> onboarding_;
    std::unique_ptr<QDBusServiceWatcher> trayWatcher_;
    ActivationPolicy policy_ = ActivationPolicy::accessory;
    bool hasTray_ = false;
};

}  // namespace ambleguard::ui
