#include "ui/SettingsOverlay.h"

#include "app/PanelSettings.h"
#include "app/PinGate.h"
#include "feedback/SoundChoice.h"
#include "settings/SettingsKeys.h"
#include "ui/Colours.h"
#include "ui/Icons.h"
#include "ui/OverlayPage.h"
#include "ui/SettingSlider.h"
#include "ui/ToneLabel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace ambleguard::ui {

namespace {

constexpr const char* kResetDetectionMessage =
    "This resets signal processing and timing settings back to the default values:\n\n"
    "- Detection mode: Stable\n- Proximity threshold: -67 dBm\n"
    "- Return buffer: 4 dBm, Away buffer: 4 dBm\n- Dead band on graph: off\n"
    "- Action delay: 1 s\n- Unlock cooldown: 1 s, Lock cooldown: 1 s\n"
    "- Activity monitor: on at 10 s\n\n"
    "Kept as they are: your paired device, PIN, schedule, lock mode, notifications toggle, and "
    "the names typed into the Run Shortcut fields.";

constexpr const char* kResetEverythingMessage =
    "All app settings go back to a fresh state, and Ambleguard relaunches into onboarding.\n\n"
    "Cleared:\n- Detection settings (signal processing and timing)\n- Lock mode\n- Schedule\n"
    "- PIN (turned off, stored PIN cleared)\n- Notifications toggle (off)\n"
    "- Auto-Unlock (off)\n- Paired device\n- Run Shortcut names\n- Launch at Login\n\n"
    "Onboarding is shown again on next launch.";

struct ModeRow {
    const char* title;
    const char* description;
};

constexpr ModeRow kModes[] = {
    {"Responsive", "Reacts fastest of all modes. May cause false positives."},
    {"Balanced", "Filters most noise. Reacts faster than Stable."},
    {"Stable",
     "Conservative mode that filters noise. Takes longer to react but prevents false triggers. "
     "This is the default."},
};

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont boldFont(QFont font) {
    font.setBold(true);
    return font;
}

}  // namespace

SettingsOverlay::SettingsOverlay(Application& app, QWidget* parent)
    : OverlayPage(QStringLiteral("Settings"), QStringLiteral("Done"), parent),
      app_(app),
      log_(app.ports().logSink, "UI") {
    buildPin(addBlock(column()));
    buildNotifications(addBlock(column()));

    QVBoxLayout* unlock = addBlock(column());
    addHeading(QStringLiteral("Auto-Unlock customisation"), unlock);
    boundSwitch(unlock, QStringLiteral("Unlock only when I wake the computer on return"),
                keys::unlockOnTouchForReturn,
                QStringLiteral("On return Auto-Unlock will wait until you touch the keyboard, "
                               "touchpad or mouse instead of unlocking straight away."));
    boundSwitch(unlock, QStringLiteral("Unlock when I didn't leave"), keys::unlockOnTouchForAnyLock,
                QStringLiteral("If the screen locks while your device is nearby (for example "
                               "after timeout, screen blanking or Super+L), just touching the "
                               "keyboard, touchpad or mouse will also unlock the computer."));

    buildSounds(addBlock(column()));
    buildDetectionModes(addBlock(column()));

    QVBoxLayout* band = addBlock(column());
    addHeading(QStringLiteral("Hysteresis (Dead-band)"), band);
    addNote(QStringLiteral("Prevents rapid state changes when signal fluctuates near threshold."),
            band);
    boundSlider(band, keys::hysteresisReturnBuffer, {0, 15, 1}, QStringLiteral("Return offset:"),
                QStringLiteral("Signal must exceed threshold + offset to return to Present state"),
                " dBm");
    boundSlider(band, keys::hysteresisAwayBuffer, {0, 15, 1}, QStringLiteral("Away offset:"),
                QStringLiteral("Signal must drop below threshold - offset to go to Away state"),
                " dBm");
    boundSwitch(band, QStringLiteral("Show on signal graph"), keys::showDeadBandOnGraph);

    boundSwitch(addBlock(column()), QStringLiteral("Ignore sudden signal loss"),
                keys::suppressSuddenSignalLoss,
                QStringLiteral("Prevents the away action from running when a strong, stable "
                               "signal suddenly disappears (device powered off, Bluetooth "
                               "interference, etc). The device is only considered away after a "
                               "gradual signal decline."));
    boundSwitch(addBlock(column()), QStringLiteral("Passive listening only"),
                keys::disableConnectedPrimary,
                QStringLiteral("In passive mode, the monitored device is tracked only by its "
                               "broadcasts. An active connection can help with phones and other "
                               "devices that stop broadcasting when idle causing sudden signal "
                               "drops, but it may interfere with a phone's hotspot or with calls "
                               "over Bluetooth headphones."));

    QVBoxLayout* cooldowns = addBlock(column());
    addHeading(QStringLiteral("Cooldowns"), cooldowns);
    boundSlider(cooldowns, keys::unlockCooldownPeriod, {1, 180, 1},
                QStringLiteral("Re-lock cooldown:"),
                QStringLiteral("Delay before executing away action again after screen is unlocked"),
                " sec");
    boundSlider(
        cooldowns, keys::lockCooldownPeriod, {1, 180, 1}, QStringLiteral("Unlock cooldown:"),
        QStringLiteral("Delay before executing unlock action after screen is locked"), " sec");

    buildActivity(addBlock(column()));
    buildResets(addBlock(column()));
    column()->addStretch(1);

    settingsChanged_ = app_.settings.onChange([this] { refresh(); });
    refresh();
    updateLastInput();
}

QCheckBox* SettingsOverlay::boundSwitch(QVBoxLayout* layout, const QString& text,
                                        std::string_view key, const QString& description) {
    auto* box = new QCheckBox(text);
    box->setAccessibleName(text);
    if (!description.isEmpty()) {
        box->setAccessibleDescription(description);
    }
    layout->addWidget(box);
    if (!description.isEmpty()) {
        indentedNote(layout, description, font());
    }
    connect(box, &QCheckBox::toggled, this,
            [this, key](bool on) { app_.settings.setBool(key, on); });
    refreshers_.emplace_back([this, box, key] {
        const QSignalBlocker blocker(box);
        box->setChecked(panelBool(app_.settings, key));
    });
    return box;
}

SettingSlider* SettingsOverlay::boundSlider(QVBoxLayout* layout, std::string_view key,
                                            SliderScale scale, const QString& title,
                                            const QString& help, const char* unit) {
    const QString suffix = QString::fromUtf8(unit);
    auto* slider = new SettingSlider(
        app_.settings, key, scale, title, help,
        [suffix](double value) { return QString::number(std::lround(value)) + suffix; });
    layout->addWidget(slider);
    refreshers_.emplace_back([slider] { slider->refresh(); });
    return slider;
}

void SettingsOverlay::buildPin(QVBoxLayout* block) {
    addHeading(QStringLiteral("PIN"), block);
    auto* row = new QHBoxLayout();
    auto* enable = new QCheckBox(QStringLiteral("Enable PIN"));
    enable->setAccessibleName(QStringLiteral("Enable PIN"));
    row->addWidget(enable, 1);
    auto* setPin = new QPushButton(QStringLiteral("Set PIN"));
    row->addWidget(setPin);
    block->addLayout(row);
    connect(enable, &QCheckBox::toggled, this, &SettingsOverlay::pinSwitched);
    connect(setPin, &QPushButton::clicked, this, &SettingsOverlay::pinSetupRequested);
    refreshers_.emplace_back([this, enable, setPin] {
        const bool on = panelBool(app_.settings, keys::isPinEnabled);
        const QSignalBlocker blocker(enable);
        enable->setChecked(on);
        // An empty stored digest opens the gate like no digest at all.
        const bool hasPin = !app_.settings.stringForKey(keys::hashedPIN).value_or("").empty();
        const QString text = hasPin ? QStringLiteral("Change PIN") : QStringLiteral("Set PIN");
        setPin->setText(text);
        setPin->setAccessibleName(text);
        setPin->setVisible(on);
    });
}

void SettingsOverlay::pinSwitched(bool on) {
    app_.settings.setBool(keys::isPinEnabled, on);
    if (!on) {
        PinGate(app_.settings).disablePin();
    }
}

void SettingsOverlay::buildNotifications(QVBoxLayout* block) {
    auto* row = new QHBoxLayout();
    auto* allowed = new QCheckBox(QStringLiteral("Notifications"));
    allowed->setFont(boldFont(allowed->font()));
    allowed->setAccessibleName(QStringLiteral("Notifications"));
    row->addWidget(allowed, 1);
    auto* test = new QPushButton(QStringLiteral("Test"));
    test->setAccessibleName(QStringLiteral("Test notification"));
    row->addWidget(test);
    block->addLayout(row);
    connect(allowed, &QCheckBox::toggled, this, &SettingsOverlay::notificationsSwitched);
    connect(test, &QPushButton::clicked, this,
            [this] { app_.outOfRangeAlerts.showNotification(PresenceEngine::GoneReason::weak); });
    refreshers_.emplace_back([this, allowed] {
        const QSignalBlocker blocker(allowed);
        allowed->setChecked(panelBool(app_.settings, keys::notificationsAllowed));
    });
}

void SettingsOverlay::notificationsSwitched(bool on) {
    app_.settings.setBool(keys::notificationsAllowed, on);
    log_.notice("Notifications toggle -> {} (defaults: {})", boolText(on),
                boolText(app_.settings.boolForKey(keys::notificationsAllowed)));
    if (on) {
        // The permission flow stores its own answer, which the switch then follows.
        app_.notificationPermission.onRequestNotificationPermission();
    }
}

void SettingsOverlay::buildSounds(QVBoxLayout* block) {
    auto* enabled = new QCheckBox(QStringLiteral("Sounds"));
    enabled->setFont(boldFont(enabled->font()));
    enabled->setAccessibleName(QStringLiteral("Sounds"));
    block->addWidget(enabled);
    connect(enabled, &QCheckBox::toggled, this,
            [this](bool on) { app_.settings.setBool(keys::soundsEnabled, on); });
    refreshers_.emplace_back([this, enabled] {
        const QSignalBlocker blocker(enabled);
        enabled->setChecked(app_.settings.boolForKey(keys::soundsEnabled));
    });
    buildSoundRow(block, QStringLiteral("Device leaves"), SoundEvent::deviceLeft,
                  keys::soundOnLeave);
    buildSoundRow(block, QStringLiteral("Device returns"), SoundEvent::deviceReturned,
                  keys::soundOnReturn);
    auto* volume = new SettingSlider(
        app_.settings, keys::soundVolume, {0, 1, 0.05}, QStringLiteral("Volume"), {},
        [](double value) { return QStringLiteral("%1 %").arg(std::lround(value * 100)); });
    block->addWidget(volume);
    refreshers_.emplace_back([this, volume] {
        volume->refresh();
        volume->setEnabled(app_.settings.boolForKey(keys::soundsEnabled));
    });
}

void SettingsOverlay::buildSoundRow(QVBoxLayout* block, const QString& title, SoundEvent event,
                                    std::string_view key) {
    auto* row = new QHBoxLayout();
    auto* label = new QLabel(title);
    row->addWidget(label);
    auto* picker = new QComboBox();
    picker->setAccessibleName(title + QStringLiteral(" sound"));
    picker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    picker->setMinimumContentsLength(10);
    label->setBuddy(picker);
    picker->addItem(QStringLiteral("None"), QStringLiteral("none"));
    for (const std::string& name : EventSoundPlayer::bundledSoundNames()) {
        picker->addItem(qs(name), qs(SoundChoice::bundled(name).storageForm()));
    }
    const auto& system = app_.sounds.systemSoundNames();
    if (!system.empty()) {
        picker->insertSeparator(picker->count());
    }
    for (const std::string& name : system) {
        picker->addItem(qs(name), qs(SoundChoice::system(name).storageForm()));
    }
    row->addWidget(picker, 1);
    auto* preview = new QPushButton(QStringLiteral("Preview"));
    preview->setAccessibleName(QStringLiteral("Preview ") + title.toLower() +
                               QStringLiteral(" sound"));
    glyphButtons_.emplace_back(preview, Glyph::play);
    row->addWidget(preview);
    block->addLayout(row);

    connect(picker, &QComboBox::activated, this, [this, picker, key](int index) {
        app_.settings.setString(key, picker->itemData(index).toString().toStdString());
    });
    connect(preview, &QPushButton::clicked, this, [this, picker, event] {
        if (auto choice = SoundChoice::parse(picker->currentData().toString().toStdString())) {
            app_.sounds.playChoice(*choice, event);
        }
    });
    refreshers_.emplace_back([this, picker, preview, label, key] {
        // An unusable stored choice plays the default sound, so that is what shows.
        const std::string stored = app_.settings.stringForKey(key).value_or("");
        const SoundChoice choice =
            SoundChoice::parse(stored).value_or(SoundChoice::bundled("Drift"));
        const QString form = qs(choice.storageForm());
        int index = picker->findData(form);
        if (index < 0) {
            // A system sound this desktop does not have (any more) still shows what is stored.
            picker->addItem(qs(choice.name()), form);
            index = picker->count() - 1;
        }
        const QSignalBlocker blocker(picker);
        picker->setCurrentIndex(index);
        const bool on = app_.settings.boolForKey(keys::soundsEnabled);
        picker->setEnabled(on);
        preview->setEnabled(on);
        label->setEnabled(on);
    });
}

void SettingsOverlay::buildDetectionModes(QVBoxLayout* block) {
    addHeading(QStringLiteral("Signal Processing (Kalman)"), block);
    auto* group = new QButtonGroup(this);
    std::vector<QRadioButton*> buttons;
    for (const ModeRow& mode : kModes) {
        auto* button = new QRadioButton(QString::fromUtf8(mode.title));
        button->setAccessibleName(QString::fromUtf8(mode.title));
        button->setAccessibleDescription(QString::fromUtf8(mode.description));
        group->addButton(button);
        block->addWidget(button);
        indentedNote(block, QString::fromUtf8(mode.description), font());
        buttons.push_back(button);
        const std::string value = mode.title;
        connect(button, &QRadioButton::toggled, this, [this, value](bool on) {
            if (on) {
                app_.settings.setString(keys::detectionMode, value);
            }
        });
    }
    refreshers_.emplace_back([this, buttons] {
        const std::string mode = panelString(app_.settings, keys::detectionMode);
        for (QRadioButton* button : buttons) {
            const QSignalBlocker blocker(button);
            button->setChecked(button->text().toStdString() == mode);
        }
    });
}

void SettingsOverlay::buildActivity(QVBoxLayout* block) {
    auto* enabled = new QCheckBox(QStringLiteral("Activity monitoring"));
    enabled->setFont(boldFont(enabled->font()));
    enabled->setAccessibleName(QStringLiteral("Activity monitoring"));
    block->addWidget(enabled);
    indentedNote(block,
                 QStringLiteral("Postpones locking when mouse or keyboard activity is detected."),
                 font());
    connect(enabled, &QCheckBox::toggled, this,
            [this](bool on) { app_.settings.setBool(keys::activityMonitorEnabled, on); });
    refreshers_.emplace_back([this, enabled] {
        const QSignalBlocker blocker(enabled);
        // Shown on until written, although the gate itself reads a never-written key as off.
        enabled->setChecked(panelBool(app_.settings, keys::activityMonitorEnabled));
    });
    boundSlider(
        block, keys::activityMonitorThreshold, {5, 120, 5}, QStringLiteral("Idle threshold:"),
        QStringLiteral("Allow Lock (away action) only after no input for this duration"), " sec");
    lastInput_ = new QLabel();
    lastInput_->setAccessibleName(QStringLiteral("Last input"));
    block->addWidget(lastInput_);
}

void SettingsOverlay::buildResets(QVBoxLayout* block) {
    auto* row = new QHBoxLayout();
    auto* detection = new QPushButton(QStringLiteral("Reset Detection"));
    auto* everything = new QPushButton(QStringLiteral("Reset Everything"));
    for (QPushButton* button : {detection, everything}) {
        button->setAccessibleName(button->text());
        glyphButtons_.emplace_back(button, Glyph::undo);
        row->addWidget(button);
    }
    row->addStretch(1);
    block->addLayout(row);
    connect(detection, &QPushButton::clicked, this, [this] {
        confirmReset(QString::fromUtf8(kResetDetectionTitle),
                     QString::fromUtf8(kResetDetectionMessage), QStringLiteral("Reset detection"),
                     [this] { app_.resets.resetDetectionSettings(); });
    });
    connect(everything, &QPushButton::clicked, this, [this] {
        confirmReset(QString::fromUtf8(kResetEverythingTitle),
                     QString::fromUtf8(kResetEverythingMessage), QStringLiteral("Reset Everything"),
                     [this] { app_.resets.resetEverythingAndRelaunch(); });
    });
    paletteChanged();
}

void SettingsOverlay::confirmReset(const QString& title, const QString& message,
                                   const QString& confirmText, std::function<void()> reset) {
    auto* box = new QMessageBox(QMessageBox::Warning, title, title, QMessageBox::NoButton, this);
    box->setInformativeText(message);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* confirm = box->addButton(confirmText, QMessageBox::DestructiveRole);
    QPushButton* cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::buttonClicked, this,
            [confirm, reset = std::move(reset)](QAbstractButton* clicked) {
                if (clicked == confirm) {
                    reset();
                }
            });
    box->open();
}

void SettingsOverlay::refresh() {
    for (const auto& refresher : refreshers_) {
        refresher();
    }
}

QString SettingsOverlay::lastInputText() const {
    return lastInput_->isHidden() ? QString() : lastInput_->text();
}

void SettingsOverlay::updateLastInput() {
    const std::optional<double> idle = app_.activity.idleTime();
    lastInput_->setHidden(!idle.has_value());
    if (idle) {
        lastInput_->setText(
            QStringLiteral("Last input: %1s ago").arg(static_cast<long long>(std::floor(*idle))));
    }
}

void SettingsOverlay::showEvent(QShowEvent* event) {
    OverlayPage::showEvent(event);
    updateLastInput();
    lastInputTimer_ =
        app_.ports().mainQueue.scheduleRepeating(1.0, 0.1, [this] { updateLastInput(); });
}

void SettingsOverlay::hideEvent(QHideEvent* event) {
    lastInputTimer_.cancel();
    OverlayPage::hideEvent(event);
}

void SettingsOverlay::paletteChanged() {
    const QColor text = palette().color(QPalette::WindowText);
    for (const auto& [button, glyph] : glyphButtons_) {
        button->setIcon(glyphIcon(glyph, text));
    }
}

}  // namespace ambleguard::ui
