#pragma once

#include "app/StatusMenuModel.h"
#include "base/MainQueue.h"
#include "base/Signal.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace ambleguard {
class Application;
}

namespace ambleguard::ui {

// The tray icon and its menu. The icon shows whether monitoring is on and, when asked for, the
// signal level instead (refreshed every three seconds); the menu is rebuilt from the menu model
// whenever it changes. Activating the icon opens the panel. What the entries do is handed in.
class StatusItem : public QObject {
    Q_OBJECT

  public:
    static constexpr double kSignalRefreshInterval = 3.0;

    struct Actions {
        std::function<void()> openSettings;  // through the PIN gate
        std::function<void()> toggleMonitoring;
        std::function<void()> openFaq;
        std::function<void()> quit;  // through the PIN gate
        std::function<void(const QString& address)> openAddress;
    };

    StatusItem(Application& app, QString version, Actions actions, QObject* parent = nullptr);
    ~StatusItem() override;

    // Redraws the icon from the current settings and readings.
    void updateStatusItem();
    void buildStatusMenu();
    // Shows or hides the icon (no tray host: nothing to show it in).
    void setVisible(bool visible);

    QString iconName() const { return iconName_; }
    QString toolTip() const;
    QMenu* menu() const { return menu_.get(); }
    std::vector<StatusMenuEntry> entries() const;

  private:
    void toggleSignalStrength();
    void startSignalTimer();
    void choose(StatusMenuAction action);

    Application& app_;
    QString version_;
    Actions actions_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    QString iconName_;
    ScopedTimer signalTimer_;
    Connection updateObserver_;
};

}  // namespace ambleguard::ui
