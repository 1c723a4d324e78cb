#pragma once

#include "app/SignalGraphModel.h"
#include "base/MainQueue.h"
#include "platform/Clock.h"
#include "presence/SignalReadout.h"
#include "settings/BoundSetting.h"
#include "settings/SettingsStore.h"

#include <QWidget>

namespace ambleguard::ui {

// The live signal graph: a sample of the filtered reading every two seconds while it is shown,
// the lock threshold as a line and, when asked for, the dead band around it. A silent device
// dims the plot under "No signal".
class SignalGraphView : public QWidget {
    Q_OBJECT

  public:
    SignalGraphView(const Clock& clock, MainQueue& mainQueue, const SignalReadout& readout,
                    SettingsStore& settings, QWidget* parent = nullptr);

    const SignalGraphModel& model() const { return model_; }
    // One sampling tick (the timer's work; tests call it too).
    void sampleNow();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void describe();

    const Clock& clock_;
    MainQueue& mainQueue_;
    const SignalReadout& readout_;
    SettingsStore& settings_;
    BoundSetting<double> averageMinRSSI_;
    BoundSetting<double> hysteresisReturnBuffer_;
    BoundSetting<double> hysteresisAwayBuffer_;
    BoundSetting<bool> showDeadBandOnGraph_;
    SignalGraphModel model_;
    ScopedTimer rssiTimer_;
};

}  // namespace ambleguard::ui
