#include "ui/ScheduleOverlay.h"

#include "app/PanelSettings.h"
#include "settings/SettingsKeys.h"
#include "ui/ToneLabel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace ambleguard::ui {

namespace {

// The status line names window edges to the minute; a check this often keeps it at most a few
// seconds behind the clock.
constexpr double kClockRefreshSeconds = 5.0;

QTimeEdit* timePicker(const QString& name) {
    auto* picker = new QTimeEdit();
    // The same 12-hour form as the status line, whatever the desktop's language.
    picker->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    picker->setDisplayFormat(QStringLiteral("h:mm AP"));
    picker->setAccessibleName(name);
    picker->setWrapping(true);
    return picker;
}

QTime storedTime(const SettingsStore& settings, std::string_view hourKey,
                 std::string_view minuteKey) {
    const auto hour = std::clamp<std::int64_t>(panelInteger(settings, hourKey), 0, 23);
    const auto minute = std::clamp<std::int64_t>(panelInteger(settings, minuteKey), 0, 59);
    return {static_cast<int>(hour), static_cast<int>(minute)};
}

}  // namespace

ScheduleOverlay::ScheduleOverlay(Application& app, QWidget* parent)
    : OverlayPage(QStringLiteral("Schedule"), QStringLiteral("Done"), parent),
      app_(app),
      summary_(app.settings, app.schedule) {
    QVBoxLayout* block = addBlock(column());
    addNote(QStringLiteral("Configure when locking actions should be paused or active."), block);
    enabled_ = new QCheckBox(QStringLiteral("Enable Schedule"));
    enabled_->setAccessibleName(QStringLiteral("Enable Schedule"));
    block->addWidget(enabled_);

    QVBoxLayout* window = addBlock(column());
    auto* modes = new QHBoxLayout();
    allow_ = new QRadioButton(QStringLiteral("Allow actions"));
    pause_ = new QRadioButton(QStringLiteral("Pause actions"));
    auto* group = new QButtonGroup(this);
    for (QRadioButton* button : {allow_, pause_}) {
        button->setAccessibleName(button->text());
        group->addButton(button);
        modes->addWidget(button);
    }
    modes->addStretch(1);
    window->addLayout(modes);

    auto* times = new QHBoxLayout();
    auto* from = new QLabel(QStringLiteral("From"));
    times->addWidget(from);
    start_ = timePicker(QStringLiteral("Start time"));
    from->setBuddy(start_);
    times->addWidget(start_);
    auto* dash = new QLabel(QStringLiteral("–"));
    dash->setAccessibleName(QStringLiteral("to"));
    times->addWidget(dash);
    end_ = timePicker(QStringLiteral("End time"));
    times->addWidget(end_);
    times->addStretch(1);
    window->addLayout(times);

    status_ = new QLabel();
    status_->setWordWrap(true);
    status_->setAccessibleName(QStringLiteral("Schedule status"));
    window->addWidget(status_);
    column()->addStretch(1);

    connect(enabled_, &QCheckBox::toggled, this,
            [this](bool on) { app_.settings.setBool(keys::scheduleEnabled, on); });
    connect(allow_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            app_.settings.setString(keys::scheduleMode, "only");
        }
    });
    connect(pause_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            app_.settings.setString(keys::scheduleMode, "suspend");
        }
    });
    connect(start_, &QTimeEdit::timeChanged, this, [this] { writeTime(true); });
    connect(end_, &QTimeEdit::timeChanged, this, [this] { writeTime(false); });

    settingsChanged_ = app_.settings.onChange([this] {
        if (!writing_) {
            refresh();
        }
    });
    refresh();
}

QString ScheduleOverlay::statusText() const {
    return status_->text();
}

void ScheduleOverlay::writeTime(bool start) {
    const QTime time = (start ? start_ : end_)->time();
    // Hour and minute are two writes; the pickers are not redrawn between them.
    writing_ = true;
    app_.settings.setInteger(start ? keys::scheduleStartHour : keys::scheduleEndHour, time.hour());
    app_.settings.setInteger(start ? keys::scheduleStartMinute : keys::scheduleEndMinute,
                             time.minute());
    writing_ = false;
    refresh();
}

void ScheduleOverlay::refresh() {
    const bool on = panelBool(app_.settings, keys::scheduleEnabled);
    {
        const QSignalBlocker blockEnabled(enabled_);
        enabled_->setChecked(on);
        // Anything but "only" pauses, as the schedule itself reads it.
        const bool only = panelString(app_.settings, keys::scheduleMode) == "only";
        const QSignalBlocker blockAllow(allow_);
        const QSignalBlocker blockPause(pause_);
        (only ? allow_ : pause_)->setChecked(true);
        const QSignalBlocker blockStart(start_);
        const QSignalBlocker blockEnd(end_);
        start_->setTime(
            storedTime(app_.settings, keys::scheduleStartHour, keys::scheduleStartMinute));
        end_->setTime(storedTime(app_.settings, keys::scheduleEndHour, keys::scheduleEndMinute));
    }
    for (QWidget* control : std::initializer_list<QWidget*>{allow_, pause_, start_, end_}) {
        control->setEnabled(on);
    }
    status_->setText(QString::fromStdString(summary_.text()));
}

void ScheduleOverlay::showEvent(QShowEvent* event) {
    OverlayPage::showEvent(event);
    refresh();
    // Only the line follows the clock, so a picker being edited is left alone.
    clockTimer_ = app_.ports().mainQueue.scheduleRepeating(kClockRefreshSeconds, 1.0, [this] {
        status_->setText(QString::fromStdString(summary_.text()));
    });
}

void ScheduleOverlay::hideEvent(QHideEvent* event) {
    clockTimer_.cancel();
    OverlayPage::hideEvent(event);
}

}  // namespace ambleguard::ui
