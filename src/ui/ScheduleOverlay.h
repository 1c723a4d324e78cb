#pragma once

#include "app/Application.h"
#include "app/ScheduleSummary.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "ui/OverlayPage.h"

class QCheckBox;
class QLabel;
class QRadioButton;
class QTimeEdit;

namespace ambleguard::ui {

// The schedule overlay: the switch, whether actions are allowed or paused inside the window, the
// window's start and end, and a line saying what the schedule does now. The line follows the
// settings as they change and the clock while the overlay is shown.
class ScheduleOverlay final : public OverlayPage {
    Q_OBJECT
  public:
    explicit ScheduleOverlay(Application& app, QWidget* parent = nullptr);

    QString statusText() const;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void refresh();
    void writeTime(bool start);

    Application& app_;
    ScheduleSummary summary_;
    QCheckBox* enabled_;
    QRadioButton* allow_;
    QRadioButton* pause_;
    QTimeEdit* start_;
    QTimeEdit* end_;
    QLabel* status_;
    bool writing_ = false;
    Connection settingsChanged_;
    ScopedTimer clockTimer_;
};

}  // namespace ambleguard::ui
