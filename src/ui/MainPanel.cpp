#include "ui/MainPanel.h"

#include "actions/LockMode.h"
#include "app/Application.h"
#include "app/PanelStatus.h"
#include "settings/SettingsKeys.h"
#include "ui/Colours.h"
#include "ui/Icons.h"
#include "ui/SignalGraphView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ambleguard::ui {

// The filled circle before the presence text.
class PresenceDot : public QWidget {
  public:
    explicit PresenceDot(QWidget* parent) : QWidget(parent) {
        setFixedSize(12, 12);
        setAccessibleName(QObject::tr("Presence indicator"));
    }
    void setColour(const QColor& colour) {
        colour_ = colour;
        update();
    }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour_);
        painter.drawEllipse(rect());
    }

  private:
    QColor colour_;
};

namespace {

StatusColour toStatusColour(IndicatorColour colour) {
    switch (colour) {
        case IndicatorColour::green:
            return StatusColour::green;
        case IndicatorColour::orange:
            return StatusColour::orange;
        case IndicatorColour::red:
            return StatusColour::red;
    }
    return StatusColour::red;
}

QLabel* sectionTitle(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QSlider* slider(int minimum, int maximum, const QString& name, QWidget* parent) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setRange(minimum, maximum);
    s->setSingleStep(1);
    s->setPageStep(5);
    s->setAccessibleName(name);
    return s;
}

QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

MainPanel::MainPanel(Application& app, QWidget* parent)
    : QWidget(parent),
      app_(app),
      log_(app.ports().logSink, "UI"),
      selection_(app.settings, app.scanner.discovery(), app.ports().logSink),
      averageMinRSSI_(app.settings, bound::averageMinRSSI),
      lastSeenTimeout_(app.settings, bound::lastSeenTimeout),
      isAdvancedEnabled_(app.settings, bound::isAdvancedEnabled),
      canScan_(app.settings, bound::canScan),
      deviceListCollapsed_(app.settings, bound::deviceListCollapsed),
      expandedDeviceListHeight_(app.settings, bound::expandedDeviceListHeight) {
    setAccessibleName(tr("Ambleguard panel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    layout->addWidget(buildHeader());
    layout->addWidget(buildDetection());
    layout->addWidget(buildActions());
    layout->addWidget(buildDevices());
    layout->addStretch(1);

    settingsObserver_ = app_.settings.onChange([this] { syncFromSettings(); });
    syncFromSettings();
    recolour();
    refreshHeader();
}

MainPanel::~MainPanel() = default;

QWidget* MainPanel::buildHeader() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* presenceRow = new QHBoxLayout;
    presenceRow->setSpacing(6);
    dot_ = new PresenceDot(box);
    presence_ = new QLabel(box);
    presenceRow->addWidget(dot_);
    presenceRow->addWidget(presence_, 1);
    layout->addLayout(presenceRow);

    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(6);
    deviceName_ = new QLabel(box);
    deviceName_->setFont(scaledFont(font(), 17));
    deviceName_->setTextFormat(Qt::PlainText);
    // A name in a right-to-left script must not turn the line around.
    deviceName_->setAlignment(Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter);
    readout_ = new QLabel(box);
    readout_->setTextFormat(Qt::PlainText);
    readoutWarning_ = new QLabel(box);
    readoutWarning_->setAccessibleName(tr("Warning"));
    nameRow->addWidget(deviceName_, 1);
    nameRow->addWidget(readoutWarning_);
    nameRow->addWidget(readout_);
    layout->addLayout(nameRow);

    graph_ = new SignalGraphView(app_.ports().clock, app_.ports().mainQueue, app_.readout,
                                 app_.settings, box);
    layout->addWidget(graph_);
    return box;
}

QWidget* MainPanel::buildDetection() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(sectionTitle(tr("Detection"), box), 1);
    advanced_ = new QCheckBox(tr("Advanced"), box);
    advanced_->setAccessibleName(tr("Advanced threshold"));
    connect(advanced_, &QCheckBox::toggled, this, [this](bool on) {
        if (!syncing_) {
            isAdvancedEnabled_.set(on);
        }
    });
    titleRow->addWidget(advanced_);
    layout->addLayout(titleRow);

    thresholdLabel_ = new QLabel(box);
    threshold_ = slider(-100, -30, tr("Proximity threshold"), box);
    threshold_->setToolTip(
        tr("Slide towards -100 for a less strict setting, allowing the device to be further "
           "away before locking the computer. Sliding towards -30 makes the setting more "
           "strict, locking the computer earlier but may increase false lockouts."));
    layout->addWidget(thresholdLabel_);
    layout->addWidget(threshold_);

    simpleThreshold_ = new QWidget(box);
    auto* simple = new QHBoxLayout(simpleThreshold_);
    simple->setContentsMargins(0, 0, 0, 0);
    simpleSlider_ = slider(-80, -50, tr("Threshold"), simpleThreshold_);
    simpleSlider_->setToolTip(
        tr("Slide towards Low for a less strict setting, allowing the device to be further "
           "away before locking the computer. Sliding towards High makes the setting more "
           "strict, locking the computer earlier but may increase false lockouts."));
    simple->addWidget(new QLabel(tr("Low"), simpleThreshold_));
    simple->addWidget(simpleSlider_, 1);
    simple->addWidget(new QLabel(tr("High"), simpleThreshold_));
    layout->addWidget(simpleThreshold_);

    const auto writeThreshold = [this](int value) {
        if (!syncing_) {
            averageMinRSSI_.set(static_cast<double>(value));
        }
    };
    connect(threshold_, &QSlider::valueChanged, this, writeThreshold);
    connect(simpleSlider_, &QSlider::valueChanged, this, writeThreshold);

    delayLabel_ = new QLabel(box);
    delay_ = slider(1, 90, tr("Action delay"), box);
    delay_->setToolTip(
        tr("Slide to set the time in seconds before the device is considered out of range and "
           "the computer is locked."));
    connect(delay_, &QSlider::valueChanged, this, [this](int value) {
        if (!syncing_) {
            lastSeenTimeout_.set(static_cast<double>(value));
        }
    });
    layout->addWidget(delayLabel_);
    layout->addWidget(delay_);
    return box;
}

QWidget* MainPanel::buildActions() {
    auto* box = new QWidget(this);
    auto* layout = new QGridLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(6);
    layout->setVerticalSpacing(6);

    layout->addWidget(sectionTitle(tr("When the device goes away"), box), 0, 0, 1, 3);
    lockMode_ = new QComboBox(box);
    lockMode_->setAccessibleName(tr("Away action"));
    for (const LockMode mode :
         {LockMode::lockScreen, LockMode::startScreensaver, LockMode::runShortcut}) {
        const std::string_view text = rawValue(mode);
        lockMode_->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    connect(lockMode_, &QComboBox::activated, this, &MainPanel::chooseLockMode);
    layout->addWidget(lockMode_, 1, 0, 1, 3);

    autoUnlock_ = new QCheckBox(tr("Auto-Unlock when the device returns"), box);
    connect(autoUnlock_, &QCheckBox::clicked, this, &MainPanel::setAutoUnlock);
    layout->addWidget(autoUnlock_, 2, 0, 1, 3);

    auto* schedule = new QPushButton(tr("Schedule"), box);
    auto* shortcuts = new QPushButton(tr("Shortcuts"), box);
    auto* settings = new QPushButton(tr("Settings"), box);
    connect(schedule, &QPushButton::clicked, this, &MainPanel::scheduleRequested);
    connect(shortcuts, &QPushButton::clicked, this, &MainPanel::shortcutsRequested);
    connect(settings, &QPushButton::clicked, this, &MainPanel::settingsRequested);
    layout->addWidget(schedule, 3, 0);
    layout->addWidget(shortcuts, 3, 1);
    layout->addWidget(settings, 3, 2);
    return box;
}

QWidget* MainPanel::buildDevices() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* titleRow = new QHBoxLayout;
    collapse_ = new QToolButton(box);
    collapse_->setAutoRaise(true);
    collapse_->setAccessibleName(tr("Show or hide the device list"));
    connect(collapse_, &QToolButton::clicked, this, [this] {
        deviceListCollapsed_.set(!deviceListCollapsed_.get());
        Q_EMIT preferredHeightChanged(
            mainPanelHeight(deviceListCollapsed_.get(), expandedDeviceListHeight_.get()));
    });
    titleRow->addWidget(collapse_);
    titleRow->addWidget(sectionTitle(tr("Devices"), box), 1);
    refresh_ = new QPushButton(box);
    refresh_->setToolTip(tr("Refresh device list"));
    refresh_->setAccessibleName(tr("Refresh device list"));
    connect(refresh_, &QPushButton::clicked, this, &MainPanel::refreshDeviceList);
    titleRow->addWidget(refresh_);
    layout->addLayout(titleRow);

    deviceArea_ = new QFrame(box);
    deviceArea_->setToolTip(
        tr("Can't find your device? Pair it with this computer in your Bluetooth settings "
           "first."));
    auto* area = new QVBoxLayout(deviceArea_);
    area->setContentsMargins(0, 0, 0, 0);
    area->setSpacing(6);
    deviceStatus_ = new QLabel(deviceArea_);
    deviceStatus_->setWordWrap(true);
    area->addWidget(deviceStatus_);
    deviceRowsLayout_ = new QVBoxLayout;
    deviceRowsLayout_->setSpacing(2);
    area->addLayout(deviceRowsLayout_);
    deviceWarning_ = new QLabel(deviceArea_);
    deviceWarning_->setWordWrap(true);
    deviceWarning_->hide();
    area->addWidget(deviceWarning_);
    area->addStretch();
    layout->addWidget(deviceArea_, 1);
    return box;
}

void MainPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    isInitialSearchPeriod_ = true;
    auto& queue = app_.ports().mainQueue;
    initialSearchTimer_ = queue.postAfter(kInitialSearchPeriod, [this] {
        isInitialSearchPeriod_ = false;
        refreshHeader();
    });
    headerTimer_ =
        queue.scheduleRepeating(kHeaderRefreshInterval, 0.0, [this] { refreshHeader(); });
    refreshHeader();
    refreshDeviceList();
}

void MainPanel::hideEvent(QHideEvent* event) {
    headerTimer_.cancel();
    initialSearchTimer_.cancel();
    deviceListTimer_.cancel();
    QWidget::hideEvent(event);
}

void MainPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        recolour();
    }
    QWidget::changeEvent(event);
}

void MainPanel::recolour() {
    QPalette secondary = readout_->palette();
    secondary.setColor(QPalette::WindowText, secondaryText(palette()));
    readout_->setPalette(secondary);
    readoutWarning_->setPixmap(
        glyphIcon(Glyph::warning, statusColour(StatusColour::yellow, palette())).pixmap(16, 16));
    refresh_->setIcon(glyphIcon(Glyph::refresh, palette().color(QPalette::ButtonText)));
    refreshHeader();
}

void MainPanel::refreshHeader() {
    currentAverageRSSILocal_ = app_.readout.averageRSSI();
    headerReadingIsStale_ =
        headerReadingIsStale(app_.readout.lastReadingTimestamp(), app_.ports().clock.now());

    const auto stored = app_.settings.stringForKey(keys::devicePresenceState);
    const auto indicator = presenceIndicator(stored.value_or("Present"), currentAverageRSSILocal_,
                                             headerReadingIsStale_);
    dot_->setColour(statusColour(toStatusColour(indicator.colour), palette()));
    dot_->setAccessibleDescription(toQString(indicator.text));
    presence_->setText(toQString(indicator.text));

    const auto name = app_.settings.stringForKey(keys::checkedPeripheralName);
    const QString fullName = toQString(panelDeviceName(name));
    // The cut keeps the name short; a name wider than the panel still loses its tail visibly.
    // Isolated, so that the name's own direction stays inside it.
    deviceName_->setText(QChar(0x2068) +
                         deviceName_->fontMetrics().elidedText(fullName, Qt::ElideRight, 260) +
                         QChar(0x2069));
    deviceName_->setToolTip(name ? toQString(*name) : QString());

    const auto line = signalReadoutLine(name.has_value(), canScan_.get(), currentAverageRSSILocal_,
                                        headerReadingIsStale_, isInitialSearchPeriod_);
    using Kind = SignalReadoutLine::Kind;
    readoutWarning_->setVisible(line.kind == Kind::warning);
    readoutWarning_->setToolTip(toQString(line.tooltip));
    readout_->setVisible(line.kind == Kind::value || line.kind == Kind::message);
    readout_->setText(toQString(line.text));
    readout_->setToolTip(toQString(line.tooltip));
}

void MainPanel::refreshDeviceList() {
    devices_.clear();
    isScanning_ = app_.scanner.isScanning().get();
    error_ = app_.scanner.error().get();
    rebuildDeviceRows();
    deviceListTimer_ = app_.ports().mainQueue.postAfter(kDeviceListDelay, [this] {
        devices_ = app_.scanner.peripherals();
        // Paired devices first: only they keep one identity across address changes.
        std::stable_sort(devices_.begin(), devices_.end(),
                         [](const PeripheralRef& a, const PeripheralRef& b) {
                             return a->isPaired() && !b->isPaired();
                         });
        rebuildDeviceRows();
    });
}

void MainPanel::rebuildDeviceRows() {
    while (QLayoutItem* item = deviceRowsLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (error_) {
        deviceStatus_->setText(toQString(*error_));
    } else if (devices_.empty()) {
        deviceStatus_->setText(isScanning_ ? tr("Scanning for devices...")
                                           : tr("Looking for devices..."));
    }
    deviceStatus_->setVisible(error_.has_value() || devices_.empty());

    const auto tracked = app_.settings.stringForKey(keys::checkedPeripheralUUID);
    for (const PeripheralRef& peripheral : devices_) {
        std::string name = peripheral->name().value_or("");
        if (name.empty()) {
            name = app_.scanner.discovery().resolvedName(*peripheral).value_or("Unknown");
        }
        QString label = toQString(name);
        if (peripheral->isPaired()) {
            label += tr(" (paired)");
        }
        auto* row = new QCheckBox(deviceArea_);
        row->setText(QChar(0x2068) + row->fontMetrics().elidedText(label, Qt::ElideRight, 320) +
                     QChar(0x2069));
        row->setToolTip(label);
        row->setAccessibleName(label);
        row->setChecked(tracked && *tracked == peripheral->identifier().toString());
        connect(row, &QCheckBox::toggled, this,
                [this, peripheral](bool checked) { chooseDevice(peripheral, checked); });
        deviceRowsLayout_->addWidget(row);
    }
}

void MainPanel::chooseDevice(const PeripheralRef& peripheral, bool checked) {
    if (checked) {
        const auto outcome = selection_.select(*peripheral);
        deviceWarning_->setText(outcome.warning ? toQString(*outcome.warning) : QString());
        deviceWarning_->setVisible(outcome.warning.has_value());
    } else {
        selection_.clear(*peripheral);
        deviceWarning_->hide();
    }
    // Only one row is ticked: the list follows the stored choice.
    const auto tracked = app_.settings.stringForKey(keys::checkedPeripheralUUID);
    for (int i = 0; i < deviceRowsLayout_->count(); ++i) {
        auto* row = qobject_cast<QCheckBox*>(deviceRowsLayout_->itemAt(i)->widget());
        if (row != nullptr && static_cast<std::size_t>(i) < devices_.size()) {
            const QSignalBlocker block(row);
            row->setChecked(tracked &&
                            *tracked ==
                                devices_[static_cast<std::size_t>(i)]->identifier().toString());
        }
    }
    refreshHeader();
}

void MainPanel::chooseLockMode(int index) {
    const QString text = lockMode_->itemText(index);
    app_.settings.setString(keys::lockMode, text.toStdString());
    if (text == QLatin1String("Start Screensaver")) {
        Q_EMIT screenSaverWarningRequested();
    } else {
        log_.info("Lock mode selected: {}", text.toStdString());
    }
}

void MainPanel::setAutoUnlock(bool on) {
    if (!on) {
        app_.settings.setBool(keys::autoUnlockEnabled, false);
        return;
    }
    const bool needsPassword = app_.ports().unlockMethod == UnlockMethod::keystrokes;
    if (needsPassword && !app_.passwords.retrievePassword()) {
        // The switch turns on once a password is saved.
        const QSignalBlocker block(autoUnlock_);
        autoUnlock_->setChecked(false);
        Q_EMIT passwordRequested();
        return;
    }
    app_.settings.setBool(keys::autoUnlockEnabled, true);
}

void MainPanel::syncFromSettings() {
    syncing_ = true;
    const bool advanced = isAdvancedEnabled_.get();
    advanced_->setChecked(advanced);
    threshold_->setVisible(advanced);
    thresholdLabel_->setVisible(advanced);
    simpleThreshold_->setVisible(!advanced);
    const int threshold = static_cast<int>(std::lround(averageMinRSSI_.get()));
    threshold_->setValue(threshold);
    simpleSlider_->setValue(threshold);
    delay_->setValue(static_cast<int>(std::lround(lastSeenTimeout_.get())));
    updateThresholdLabels();

    const int mode = lockMode_->findText(
        toQString(app_.settings.stringForKey(keys::lockMode).value_or("Lock Screen")));
    lockMode_->setCurrentIndex(std::max(mode, 0));
    autoUnlock_->setChecked(app_.settings.boolForKey(keys::autoUnlockEnabled));

    const bool collapsed = deviceListCollapsed_.get();
    deviceArea_->setVisible(!collapsed);
    collapse_->setArrowType(collapsed ? Qt::RightArrow : Qt::DownArrow);
    syncing_ = false;
}

void MainPanel::updateThresholdLabels() {
    thresholdLabel_->setText(
        tr("Proximity threshold: %1 dBm").arg(static_cast<int>(averageMinRSSI_.get())));
    const int seconds = delay_->value();
    delayLabel_->setText(seconds == 1 ? tr("Action delay: 1 second")
                                      : tr("Action delay: %1 seconds").arg(seconds));
}

QString MainPanel::presenceText() const {
    return presence_->text();
}
QString MainPanel::deviceNameText() const {
    return deviceName_->text().mid(1).chopped(1);
}
QString MainPanel::readoutText() const {
    return readout_->isVisibleTo(this) ? readout_->text() : QString();
}
QString MainPanel::readoutToolTip() const {
    return readoutIsWarning() ? readoutWarning_->toolTip() : readout_->toolTip();
}
bool MainPanel::readoutIsWarning() const {
    return readoutWarning_->isVisibleTo(this);
}
QStringList MainPanel::deviceRows() const {
    QStringList rows;
    for (int i = 0; i < deviceRowsLayout_->count(); ++i) {
        if (auto* row = qobject_cast<QCheckBox*>(deviceRowsLayout_->itemAt(i)->widget())) {
            rows << row->toolTip() + (row->isChecked() ? QStringLiteral(" [x]") : QString());
        }
    }
    return rows;
}

}  // namespace ambleguard::ui
