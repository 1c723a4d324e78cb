#include "ui/QtAppShell.h"

#include "app/Application.h"
#include "app/PanelStatus.h"
#include "settings/SettingsKeys.h"
#include "ui/MainPanel.h"
#include "ui/OnboardingWindow.h"
#include "ui/PanelWindow.h"
#include "ui/PinPrompt.h"
#include "ui/StatusItem.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QDateTime>
#include <QDesktopServices>
#include <QSystemTrayIcon>

namespace ambleguard::ui {

namespace {

// A click on the tray icon that arrives this soon after the panel closed because the click
// took its focus away is the same click: it must not open the panel again.
constexpr qint64 kReopenGuardMs = 500;

}  // namespace

QtAppShell::QtAppShell(AppShell& processShell, LogSink& logSink, Options options)
    : processShell_(processShell), log_(logSink, "App"), options_(std::move(options)) {}

QtAppShell::~QtAppShell() {
    delete onboarding_.data();
    delete panel_.data();
    delete pinPrompt_.data();
}

void QtAppShell::attach(Application& app) {
    app_ = &app;
    pins_ = std::make_unique<PinGate>(app.settings);
}

void QtAppShell::setActivationPolicy(ActivationPolicy policy) {
    policy_ = policy;
    processShell_.setActivationPolicy(policy);
}

void QtAppShell::activate() {
    if (onboarding_) {
        onboarding_->show();
        onboarding_->raise();
        onboarding_->activateWindow();
        return;
    }
    if (panel_ != nullptr) {
        // Another start of the program, from the launcher: show what there is to see.
        const QPoint pointer = QCursor::pos();
        panel_->present(hasTray_ ? &pointer : nullptr);
    }
}

void QtAppShell::disableAutomaticTermination(std::string_view reason) {
    processShell_.disableAutomaticTermination(reason);
}

void QtAppShell::disableSuddenTermination() {
    processShell_.disableSuddenTermination();
}

void QtAppShell::setProcessPriority(int priority) {
    processShell_.setProcessPriority(priority);
}

void QtAppShell::startUpdater(bool startUpdating) {
    processShell_.startUpdater(startUpdating);
}

void QtAppShell::showOnboardingWindow(OnboardingWindowHandlers handlers) {
    if (app_ == nullptr) {
        return;
    }
    delete onboarding_.data();
    auto* window = new OnboardingWindow(*app_, std::move(handlers));
    window->setAttribute(Qt::WA_DeleteOnClose);
    onboarding_ = window;
    window->show();
    window->raise();
    window->activateWindow();
}

void QtAppShell::closeOnboardingWindow() {
    if (onboarding_) {
        onboarding_->close();
    }
}

void QtAppShell::setupMainInterface(bool /*hidePopoverAnchor*/) {
    if (app_ == nullptr || panel_ != nullptr) {
        return;
    }
    mainPanel_ = new MainPanel(*app_);
    panel_ = new PanelWindow(mainPanel_, QStringLiteral("Ambleguard"));
    panel_->setPreferredHeight(
        mainPanelHeight(app_->settings.boolForKey(keys::deviceListCollapsed),
                        app_->settings.doubleForKey(keys::expandedDeviceListHeight)));
    QObject::connect(mainPanel_, &MainPanel::preferredHeightChanged, panel_.data(),
                     &PanelWindow::setPreferredHeight);
    pinPrompt_ = new PinPrompt;

    StatusItem::Actions actions;
    actions.openSettings = [this] { openSettings(); };
    actions.toggleMonitoring = [this] { toggleMonitoring(); };
    actions.openFaq = [this] { openAddress(options_.faq); };
    actions.quit = [this] { quit(); };
    actions.openAddress = [this](const QString& address) { openAddress(QUrl(address)); };
    status_ = std::make_unique<StatusItem>(*app_, options_.version, std::move(actions));

    // A tray host may come or go while the program runs (an extension switched on, the panel
    // restarted): the icon and the panel's style follow it.
    trayWatcher_ = std::make_unique<QDBusServiceWatcher>(
        QStringLiteral("org.kde.StatusNotifierWatcher"), QDBusConnection::sessionBus(),
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(trayWatcher_.get(), &QDBusServiceWatcher::serviceRegistered, this,
                     [this] { trayAvailabilityChanged(); });
    QObject::connect(trayWatcher_.get(), &QDBusServiceWatcher::serviceUnregistered, this,
                     [this] { trayAvailabilityChanged(); });
    trayAvailabilityChanged();
    if (options_.presentAtStart || !hasTray_) {
        panel_->present(nullptr);
    }
}

void QtAppShell::trayAvailabilityChanged() {
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available == hasTray_ && status_ != nullptr) {
        status_->setVisible(available);
        return;
    }
    hasTray_ = available;
    status_->setVisible(available);
    // Without a tray the panel is the program's window, opened from the launcher; with one it
    // drops down from the icon where the window system lets a program place windows.
    const bool canPlace = QGuiApplication::platformName() != QLatin1String("wayland");
    panel_->setPopoverStyle(available && canPlace);
    if (available) {
        log_.info("System tray available: the panel opens from the tray icon");
    } else {
        log_.notice(
            "No system tray on this desktop: the panel is an ordinary window, opened "
            "from the application launcher");
    }
}

void QtAppShell::updateStatusItem() {
    if (status_ == nullptr) {
        return;
    }
    // Deferred, like every redraw: several settings often change together.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (status_ != nullptr) {
                status_->updateStatusItem();
                status_->buildStatusMenu();
            }
        },
        Qt::QueuedConnection);
}

void QtAppShell::guarded(std::function<void()> action) {
    if (!pins_->ask(std::move(action))) {
        return;
    }
    const QPoint pointer = QCursor::pos();
    pinPrompt_->ask(
        false, &pointer, [this](const QString& pin) { pins_->handlePinInput(pin.toStdString()); },
        [this] { pins_->cancel(); });
}

void QtAppShell::openSettings() {
    guarded([this] { togglePopover(); });
}

void QtAppShell::togglePopover() {
    if (panel_ == nullptr) {
        return;
    }
    if (panel_->isVisible()) {
        panel_->close();
        return;
    }
    if (QDateTime::currentMSecsSinceEpoch() - panel_->closedByDeactivationAt() < kReopenGuardMs) {
        return;
    }
    const QPoint pointer = QCursor::pos();
    panel_->present(hasTray_ ? &pointer : nullptr);
}

void QtAppShell::toggleMonitoring() {
    const auto toggle = [this] {
        app_->delegate.toggleFeature();
        status_->buildStatusMenu();
    };
    // Switching monitoring off needs the PIN; switching it on does not.
    if (app_->settings.boolForKey(keys::canScan)) {
        guarded(toggle);
    } else {
        toggle();
    }
}

void QtAppShell::quit() {
    guarded([this] { app_->delegate.quitNow(); });
}

void QtAppShell::openAddress(const QUrl& address) {
    if (address.isEmpty() || !QDesktopServices::openUrl(address)) {
        log_.error("Could not open {}", address.toString().toStdString());
    }
}

}  // namespace ambleguard::ui
