#pragma once

#include "app/DeviceSelection.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "settings/BoundSetting.h"

#include <QWidget>

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QToolButton;
class QVBoxLayout;

namespace ambleguard {
class Application;
}

namespace ambleguard::ui {

class PresenceDot;
class SignalGraphView;

// The panel the tray opens: how the tracked device is doing (indicator, name, readout, live
// graph), the detection controls, the away action, and the device list. It polls what the core
// publishes and writes only settings; the overlays it asks for are shown by its window.
class MainPanel : public QWidget {
    Q_OBJECT

  public:
    static constexpr double kHeaderRefreshInterval = 3.0;
    static constexpr double kInitialSearchPeriod = 15.0;
    static constexpr double kDeviceListDelay = 7.0;

    explicit MainPanel(Application& app, QWidget* parent = nullptr);
    ~MainPanel() override;

    // What the header shows now (for tests and screen readers).
    QString presenceText() const;
    QString deviceNameText() const;
    QString readoutText() const;
    QString readoutToolTip() const;
    bool readoutIsWarning() const;
    QStringList deviceRows() const;
    SignalGraphView* graph() const { return graph_; }

    // The header's poll (its timer's work).
    void refreshHeader();
    // The "Refresh device list" button's work.
    void refreshDeviceList();

  Q_SIGNALS:
    void settingsRequested();
    void scheduleRequested();
    void shortcutsRequested();
    void passwordRequested();
    void screenSaverWarningRequested();
    // The list was collapsed or expanded: the window may change its height.
    void preferredHeightChanged(int height);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QWidget* buildHeader();
    QWidget* buildDetection();
    QWidget* buildActions();
    QWidget* buildDevices();
    void syncFromSettings();
    void updateThresholdLabels();
    void rebuildDeviceRows();
    void chooseDevice(const PeripheralRef& peripheral, bool checked);
    void chooseLockMode(int index);
    void setAutoUnlock(bool on);
    void recolour();

    Application& app_;
    Logger log_;
    DeviceSelection selection_;
    BoundSetting<double> averageMinRSSI_;
    BoundSetting<double> lastSeenTimeout_;
    BoundSetting<bool> isAdvancedEnabled_;
    BoundSetting<bool> canScan_;
    BoundSetting<bool> deviceListCollapsed_;
    BoundSetting<double> expandedDeviceListHeight_;

    // Header state.
    int currentAverageRSSILocal_ = -127;
    bool headerReadingIsStale_ = true;
    bool isInitialSearchPeriod_ = false;
    ScopedTimer headerTimer_;
    ScopedTimer initialSearchTimer_;

    PresenceDot* dot_ = nullptr;
    QLabel* presence_ = nullptr;
    QLabel* deviceName_ = nullptr;
    QLabel* readout_ = nullptr;
    QLabel* readoutWarning_ = nullptr;
    SignalGraphView* graph_ = nullptr;

    QLabel* thresholdLabel_ = nullptr;
    QSlider* threshold_ = nullptr;
    QWidget* simpleThreshold_ = nullptr;
    QSlider* simpleSlider_ = nullptr;
    QLabel* delayLabel_ = nullptr;
    QSlider* delay_ = nullptr;
    QCheckBox* advanced_ = nullptr;
    QComboBox* lockMode_ = nullptr;
    QCheckBox* autoUnlock_ = nullptr;

    QToolButton* collapse_ = nullptr;
    QWidget* deviceArea_ = nullptr;
    QVBoxLayout* deviceRowsLayout_ = nullptr;
    QLabel* deviceStatus_ = nullptr;
    QLabel* deviceWarning_ = nullptr;
    QPushButton* refresh_ = nullptr;
    std::vector<PeripheralRef> devices_;
    bool isScanning_ = false;
    std::optional<std::string> error_;
    ScopedTimer deviceListTimer_;

    bool syncing_ = false;
    Connection settingsObserver_;
};

}  // namespace ambleguard::ui
