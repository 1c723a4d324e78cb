#include "ui/StatusItem.h"

#include "app/Application.h"
#include "settings/SettingsKeys.h"
#include "ui/Icons.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include <cmath>

namespace ambleguard::ui {

StatusItem::StatusItem(Application& app, QString version, Actions actions, QObject* parent)
    : QObject(parent),
      app_(app),
      version_(std::move(version)),
      actions_(std::move(actions)),
      menu_(std::make_unique<QMenu>()),
      tray_(std::make_unique<QSystemTrayIcon>()) {
    tray_->setContextMenu(menu_.get());
    // A click on the icon opens the panel; the menu is on the secondary click.
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    actions_.openSettings();
                }
            });
    // The device entry's title follows the stored name each time the menu opens.
    connect(menu_.get(), &QMenu::aboutToShow, this, [this] {
        const auto name = app_.settings.stringForKey(keys::checkedPeripheralName);
        if (name && !menu_->actions().isEmpty() &&
            menu_->actions().front()->data().toInt() ==
                static_cast<int>(StatusMenuAction::device)) {
            menu_->actions().front()->setText(QString::fromStdString(menuDeviceTitle(*name)));
        }
    });
    updateObserver_ =
        app_.updates.hasAvailableUpdate().observe([this](const bool&) { buildStatusMenu(); });
    updateStatusItem();
    if (app_.settings.boolForKey(keys::showSignalStrengthInMenuBar)) {
        startSignalTimer();
    }
    buildStatusMenu();
}

StatusItem::~StatusItem() = default;

void StatusItem::setVisible(bool visible) {
    tray_->setVisible(visible);
}

QString StatusItem::toolTip() const {
    return tray_->toolTip();
}

void StatusItem::updateStatusItem() {
    const bool canScan = app_.settings.boolForKey(keys::canScan);
    const bool showSignal = app_.settings.boolForKey(keys::showSignalStrengthInMenuBar);
    int level = -1;
    if (canScan && showSignal) {
        const double glyph = signalGlyphLevel(app_.readout.averageRSSI(),
                                              app_.settings.doubleForKey(keys::averageMinRSSI));
        level = static_cast<int>(std::lround(glyph * 4));
    }
    const QString name = trayIconName(canScan, level);
    // The tray host re-reads the icon on every change: only real changes are sent.
    if (name != iconName_) {
        iconName_ = name;
        tray_->setIcon(trayIcon(name));
    }
    QString tip = canScan ? tr("Ambleguard: monitoring") : tr("Ambleguard: monitoring off");
    if (level >= 0) {
        tip += tr(" (signal strength %1 of 4)").arg(level);
    }
    tray_->setToolTip(tip);
}

std::vector<StatusMenuEntry> StatusItem::entries() const {
    StatusMenuInputs inputs;
    inputs.canScan = app_.settings.boolForKey(keys::canScan);
    inputs.checkedPeripheralName = app_.settings.stringForKey(keys::checkedPeripheralName);
    inputs.launchAtLogin = app_.launchAtLogin.isEnabled();
    inputs.showSignalStrength = app_.settings.boolForKey(keys::showSignalStrengthInMenuBar);
    inputs.updatesEnabled = app_.updates.isEnabled();
    inputs.hasAvailableUpdate = app_.updates.hasAvailableUpdate().get();
    inputs.version = version_.toStdString();
    return ambleguard::buildStatusMenu(inputs);
}

void StatusItem::buildStatusMenu() {
    menu_->clear();
    for (const StatusMenuEntry& entry : entries()) {
        if (entry.action == StatusMenuAction::separator) {
            menu_->addSeparator();
            continue;
        }
        QAction* action = menu_->addAction(QString::fromStdString(entry.title));
        action->setData(static_cast<int>(entry.action));
        action->setEnabled(entry.enabled);
        action->setCheckable(entry.checkable);
        action->setChecked(entry.checked);
        const StatusMenuAction chosen = entry.action;
        connect(action, &QAction::triggered, this, [this, chosen] { choose(chosen); });
    }
}

void StatusItem::choose(StatusMenuAction action) {
    switch (action) {
        case StatusMenuAction::settings:
            actions_.openSettings();
            break;
        case StatusMenuAction::monitoring:
            actions_.toggleMonitoring();
            break;
        case StatusMenuAction::launchAtLogin:
            app_.launchAtLogin.toggleLaunchAtLogin();
            buildStatusMenu();
            break;
        case StatusMenuAction::signalStrength:
            toggleSignalStrength();
            break;
        case StatusMenuAction::update:
            if (const auto page = app_.updates.menuEntryChosen()) {
                actions_.openAddress(QString::fromStdString(*page));
            }
            break;
        case StatusMenuAction::faq:
            actions_.openFaq();
            break;
        case StatusMenuAction::quit:
            actions_.quit();
            break;
        case StatusMenuAction::separator:
        case StatusMenuAction::device:
        case StatusMenuAction::version:
            break;
    }
}

void StatusItem::toggleSignalStrength() {
    const bool on = !app_.settings.boolForKey(keys::showSignalStrengthInMenuBar);
    app_.settings.setBool(keys::showSignalStrengthInMenuBar, on);
    if (on) {
        startSignalTimer();
    } else {
        signalTimer_.cancel();
    }
    buildStatusMenu();
    updateStatusItem();
}

void StatusItem::startSignalTimer() {
    signalTimer_ = app_.ports().mainQueue.scheduleRepeating(kSignalRefreshInterval, 0.0, [this] {
        if (app_.settings.boolForKey(keys::showSignalStrengthInMenuBar) &&
            app_.settings.boolForKey(keys::canScan)) {
            updateStatusItem();
        }
    });
}

}  // namespace ambleguard::ui
