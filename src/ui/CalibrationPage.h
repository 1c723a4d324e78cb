#pragma once

#include "app/CalibrationModel.h"
#include "base/MainQueue.h"
#include "settings/BoundSetting.h"
#include "ui/OnboardingPage.h"

#include <string>

class QButtonGroup;
class QLabel;

namespace ambleguard {
class Application;
}

namespace ambleguard::ui {

class CalibrationChart;
class OnboardingGlyph;

// Setting the signal threshold while watching the chosen device's signal: four times a second
// the latest filtered reading is polled into the chart; dragging the threshold line (or moving
// it with the keyboard) writes the threshold at once, and a warning says when the threshold
// sits so close to the signal that an ordinary dip would count as leaving. The detection mode
// can be chosen here too. Continue and Skip both finish the step; what was written stays.
class CalibrationPage final : public OnboardingPage {
    Q_OBJECT

  public:
    explicit CalibrationPage(Application& app, QWidget* parent = nullptr);

    void leave() override { pollTimer_.cancel(); }

    const CalibrationModel& model() const { return model_; }
    CalibrationChart* chart() const { return chart_; }
    // One poll (the timer's work).
    void poll();

  private:
    CalibrationModel::Thresholds thresholds() const;
    void setThreshold(double threshold);
    void refresh();

    Application& app_;
    BoundSetting<double> averageMinRSSI_;
    BoundSetting<double> hysteresisAwayBuffer_;
    BoundSetting<double> hysteresisReturnBuffer_;
    BoundSetting<std::string> detectionMode_;
    CalibrationModel model_;
    CalibrationChart* chart_;
    QLabel* status_;
    QLabel* selected_;
    QWidget* warningRow_;
    QLabel* warning_;
    QButtonGroup* modes_;
    ScopedTimer pollTimer_;
};

}  // namespace ambleguard::ui
