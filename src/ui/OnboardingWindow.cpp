#include "ui/OnboardingWindow.h"

#include "app/Application.h"
#include "ui/AgreementPage.h"
#include "ui/BluetoothSettingsLink.h"
#include "ui/CalibrationPage.h"
#include "ui/DeviceChoicePage.h"
#include "ui/FinalPage.h"
#include "ui/LaunchAtLoginPage.h"
#include "ui/PermissionsPage.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include <algorithm>

namespace ambleguard::ui {

OnboardingWindow::OnboardingWindow(Application& app, OnboardingWindowHandlers handlers,
                                   QWidget* parent)
    : QWidget(parent), app_(app), handlers_(std::move(handlers)) {
    setWindowTitle(tr("Welcome to Ambleguard"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // A screen smaller than the content scrolls instead of cutting it off.
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    layout->addWidget(scroll_, 1);
    buttonRow_ = new QVBoxLayout;
    buttonRow_->setContentsMargins(18, 6, 18, 18);
    layout->addLayout(buttonRow_);

    QSize size(kContentWidth, kContentHeight);
    if (const QScreen* screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        size = size.boundedTo(available.size());
    }
    resize(size);

    showScreen(visibleScreen(flags_));
}

OnboardingWindow::~OnboardingWindow() {
    if (page_) {
        page_->leave();
    }
}

void OnboardingWindow::showScreen(OnboardingScreen screen) {
    if (page_) {
        // The old screen may be the one whose button is being handled: it stops its work now
        // and goes away once that is over.
        page_->leave();
        page_->hide();
        scroll_->takeWidget();
        page_->deleteLater();
    }
    if (buttons_) {
        buttons_->hide();
        buttons_->deleteLater();
    }
    screen_ = screen;
    page_ = makePage(screen);
    connect(page_, &OnboardingPage::stepDone, this, &OnboardingWindow::stepDone);
    scroll_->setWidget(page_);
    buttons_ = page_->buttons();
    buttonRow_->addWidget(buttons_);
    // Moved in from the screen, the row is hidden until shown again.
    buttons_->show();
    if (QPushButton* primary = page_->primaryButton()) {
        primary->setFocus();
    }
}

OnboardingPage* OnboardingWindow::makePage(OnboardingScreen screen) {
    switch (screen) {
        case OnboardingScreen::agreement:
            return new AgreementPage(
                app_.ports().mainQueue, !app_.ports().program.updateEndpoint.empty(),
                [this] { app_.delegate.quitNow(); }, this);
        case OnboardingScreen::permissions:
            return new PermissionsPage(app_, BluetoothSettingsLink::forThisDesktop(), this);
        case OnboardingScreen::deviceSelection:
            return new DeviceChoicePage(app_, this);
        case OnboardingScreen::calibration:
            return new CalibrationPage(app_, this);
        case OnboardingScreen::launchAtLogin:
            return new LaunchAtLoginPage(app_, this);
        case OnboardingScreen::final:
            break;
    }
    return new FinalPage(QSystemTrayIcon::isSystemTrayAvailable(), this);
}

void OnboardingWindow::stepDone() {
    if (screen_ == OnboardingScreen::final) {
        // Finishing closes this window; that happens after the button's click is over.
        app_.ports().mainQueue.post(liveness_.guarded([this] {
            if (handlers_.completed) {
                handlers_.completed();
            }
        }));
        return;
    }
    completeStep(flags_, screen_);
    showScreen(visibleScreen(flags_));
}

void OnboardingWindow::keyPressEvent(QKeyEvent* event) {
    // Outside a dialog no button is the default one, so Return comes here from the controls
    // that have no use for it: a focused push button takes it as its own click, anything else
    // presses the screen's primary button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && page_) {
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
            focused->click();
            return;
        }
        QPushButton* primary = page_->primaryButton();
        if (primary && primary->isEnabled() && primary->isVisible()) {
            primary->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void OnboardingWindow::showEvent(QShowEvent* event) {
    // Shown again after a close: its next close is news again.
    closeReported_ = false;
    QWidget::showEvent(event);
}

void OnboardingWindow::closeEvent(QCloseEvent* event) {
    if (!closeReported_) {
        closeReported_ = true;
        if (handlers_.willClose) {
            handlers_.willClose();
        }
    }
    QWidget::closeEvent(event);
}

}  // namespace ambleguard::ui
