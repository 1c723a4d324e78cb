#include "ui/LaunchAtLoginPage.h"

#include "app/Application.h"
#include "settings/SettingsKeys.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ambleguard::ui {

LaunchAtLoginPage::LaunchAtLoginPage(Application& app, QWidget* parent)
    : OnboardingPage(tr("Launch at Login"), parent), app_(app) {
    addParagraph(tr("Ambleguard can start automatically when you log in to your computer."));

    switch_ = new QCheckBox(tr("Enable Launch at Login"), this);
    switch_->setAccessibleName(tr("Enable Launch at Login"));
    // Starts from what the system does now, so finishing without touching the switch keeps it.
    switch_->setChecked(app_.launchAtLogin.isEnabled());
    content()->addWidget(switch_);
    caption_ = addParagraph(QString(), true);
    connect(switch_, &QCheckBox::toggled, this, [this] { updateCaption(); });
    updateCaption();

    QPushButton* next = addPrimaryButton(tr("Continue"));
    connect(next, &QPushButton::clicked, this, [this] {
        app_.settings.setBool(keys::onboardingLaunchAtLoginPreference, switch_->isChecked());
        Q_EMIT stepDone();
    });
}

void LaunchAtLoginPage::updateCaption() {
    caption_->setText(switch_->isChecked()
                          ? tr("Ambleguard will start automatically when you log in")
                          : tr("You can enable this later from the tray menu"));
    switch_->setAccessibleDescription(caption_->text());
}

}  // namespace ambleguard::ui
