#include "ui/DeviceChoicePage.h"

#include "app/Application.h"
#include "settings/SettingsKeys.h"
#include "ui/OnboardingGlyph.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace ambleguard::ui {

namespace {

constexpr int kListHeight = 200;
constexpr int kNameWidth = 460;

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A name as a device sent it may hold line breaks and tabs; a row shows one line.
QString oneLine(const std::string& text) {
    return fromUtf8(text).simplified();
}

// A button text shows "&" as a mnemonic marker unless it is doubled.
QString buttonText(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
}

}  // namespace

DeviceChoicePage::DeviceChoicePage(Application& app, QWidget* parent)
    : OnboardingPage(tr("Select Device"), parent),
      app_(app),
      selection_(app.settings, app.scanner.discovery(), app.ports().logSink) {
    auto* header = new QHBoxLayout;
    auto* nearby = new QLabel(tr("Devices nearby"), this);
    QFont bold = nearby->font();
    bold.setBold(true);
    nearby->setFont(bold);
    header->addWidget(nearby);
    header->addStretch(1);
    refreshButton_ = new QToolButton(this);
    refreshButton_->setIcon(glyphIcon(Glyph::refresh, palette().color(QPalette::ButtonText)));
    refreshButton_->setAccessibleName(tr("Refresh"));
    refreshButton_->setToolTip(tr("Look for devices again"));
    connect(refreshButton_, &QToolButton::clicked, this, [this] { refresh(); });
    header->addWidget(refreshButton_);
    content()->addLayout(header);

    // The list, or while it is empty, what the scan is doing.
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFixedHeight(kListHeight);
    scroll->setFocusPolicy(Qt::NoFocus);
    auto* scrollContent = new QWidget(scroll);
    auto* scrollLayout = new QVBoxLayout(scrollContent);
    scrollLayout->setContentsMargins(6, 6, 6, 6);
    listHost_ = new QWidget(scrollContent);
    list_ = new QVBoxLayout(listHost_);
    list_->setContentsMargins(0, 0, 0, 0);
    list_->setSpacing(6);
    scrollLayout->addWidget(listHost_);

    emptyState_ = new QWidget(scrollContent);
    auto* emptyLayout = new QVBoxLayout(emptyState_);
    auto* antenna = new OnboardingGlyph(Glyph::bluetooth, 32, emptyState_);
    antenna->setAccessibleName(tr("Bluetooth"));
    emptyLayout->addWidget(antenna, 0, Qt::AlignHCenter);
    emptyText_ = new QLabel(emptyState_);
    emptyText_->setAlignment(Qt::AlignHCenter);
    emptyText_->setWordWrap(true);
    emptyLayout->addWidget(emptyText_);
    scrollLayout->addWidget(emptyState_);
    scrollLayout->addStretch(1);
    scroll->setWidget(scrollContent);
    content()->addWidget(scroll);
    group_ = new QButtonGroup(this);

    auto* choiceRow = new QHBoxLayout;
    choiceGlyph_ = new OnboardingGlyph(Glyph::warning, 16, this);
    choiceRow->addWidget(choiceGlyph_);
    choiceText_ = new QLabel(this);
    choiceText_->setTextFormat(Qt::PlainText);
    choiceRow->addWidget(choiceText_, 1);
    content()->addLayout(choiceRow);

    warningRow_ = new QWidget(this);
    auto* warningLayout = new QHBoxLayout(warningRow_);
    warningLayout->setContentsMargins(0, 0, 0, 0);
    warningGlyph_ = new OnboardingGlyph(Glyph::warning, 16, warningRow_);
    warningGlyph_->setColour(StatusColour::orange);
    warningGlyph_->setAccessibleName(tr("Warning"));
    warningLayout->addWidget(warningGlyph_, 0, Qt::AlignTop);
    warning_ = new QLabel(warningRow_);
    warning_->setWordWrap(true);
    warning_->setTextFormat(Qt::PlainText);
    warningLayout->addWidget(warning_, 1);
    warningRow_->hide();
    content()->addWidget(warningRow_);

    addParagraph(tr("Pair your phone or watch with this computer first (Bluetooth settings or "
                    "bluetoothctl pair)."),
                 true);
    addParagraph(tr("You can select another device later in the settings menu."), true);

    continue_ = addPrimaryButton(tr("Continue"));
    connect(continue_, &QPushButton::clicked, this, [this] { finish(); });

    peripheralsObserver_ = app_.scanner.onPeripheralsChanged(
        [this](const std::vector<PeripheralRef>& list) { showDevices(list); });
    scanningObserver_ = app_.scanner.isScanning().observe([this](bool) { updateEmptyState(); });
    errorObserver_ = app_.scanner.error().observe([this](const auto&) { updateEmptyState(); });

    app_.scanner.setScanMode(true);
    refresh();
    showDevices(app_.scanner.peripherals());
    updateChoice();
}

void DeviceChoicePage::changeEvent(QEvent* event) {
    OnboardingPage::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        refreshButton_->setIcon(glyphIcon(Glyph::refresh, palette().color(QPalette::ButtonText)));
    }
}

void DeviceChoicePage::leave() {
    peripheralsObserver_.reset();
    scanningObserver_.reset();
    errorObserver_.reset();
}

void DeviceChoicePage::refresh() {
    // The onboarding scan starts with an empty list, so restarting it is a fresh look around.
    app_.scanner.stopScanning();
    app_.scanner.startScanning();
    updateEmptyState();
}

std::string DeviceChoicePage::displayName(const Peripheral& peripheral) {
    if (auto own = peripheral.name()) {
        return *own;
    }
    return app_.scanner.discovery().resolvedName(peripheral).value_or("Unknown");
}

void DeviceChoicePage::showDevices(const std::vector<PeripheralRef>& peripherals) {
    std::vector<Row> rows;
    rows.reserve(peripherals.size());
    for (const auto& peripheral : peripherals) {
        rows.push_back(
            Row{peripheral->identifier(), displayName(*peripheral), peripheral->isPaired()});
    }
    peripherals_ = peripherals;
    // The tracked device's list is published with every advertisement; rows are rebuilt only
    // when what they show changes, so focus and the pointer are not disturbed.
    if (rows != rows_) {
        rows_ = std::move(rows);
        rebuildRows();
    }
    updateEmptyState();
}

void DeviceChoicePage::rebuildRows() {
    QString focusedId;
    for (QAbstractButton* button : group_->buttons()) {
        if (button->hasFocus()) {
            focusedId = button->property("deviceId").toString();
        }
    }
    while (QLayoutItem* item = list_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const std::string stored = app_.settings.stringForKey(keys::checkedPeripheralUUID).value_or("");
    const QFontMetrics metrics(font());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        auto* line = new QWidget(listHost_);
        auto* layout = new QHBoxLayout(line);
        layout->setContentsMargins(0, 0, 0, 0);
        const QString name = oneLine(row.name);
        const QString shown = metrics.elidedText(name, Qt::ElideRight, kNameWidth);
        auto* radio = new QRadioButton(buttonText(shown), line);
        const QString id = fromUtf8(row.identifier.toString());
        radio->setProperty("deviceId", id);
        radio->setAccessibleName(row.paired ? tr("%1, paired").arg(name) : name);
        if (shown != name) {
            radio->setToolTip(name);
        }
        group_->addButton(radio, static_cast<int>(i));
        radio->setChecked(row.identifier.toString() == stored);
        connect(radio, &QRadioButton::clicked, this, [this, i] {
            if (i < peripherals_.size()) {
                choose(peripherals_[i]);
            }
        });
        layout->addWidget(radio, 1);
        if (row.paired) {
            auto* paired = new QLabel(tr("Paired"), line);
            makeSecondary(paired);
            layout->addWidget(paired);
        }
        list_->addWidget(line);
        if (!focusedId.isEmpty() && id == focusedId) {
            radio->setFocus();
        }
    }
}

void DeviceChoicePage::choose(const PeripheralRef& peripheral) {
    const DeviceSelection::Outcome outcome = selection_.select(*peripheral);
    warning_->setText(outcome.warning ? fromUtf8(*outcome.warning) : QString());
    warningRow_->setVisible(outcome.warning.has_value());
    updateChoice();
}

void DeviceChoicePage::updateChoice() {
    const auto stored = app_.settings.stringForKey(keys::checkedPeripheralUUID);
    if (stored) {
        const std::string name =
            app_.settings.stringForKey(keys::checkedPeripheralName).value_or("Unknown");
        choiceGlyph_->setGlyph(Glyph::ok);
        choiceGlyph_->setColour(StatusColour::green);
        choiceGlyph_->setAccessibleName(tr("Chosen"));
        const QString shown =
            QFontMetrics(choiceText_->font()).elidedText(oneLine(name), Qt::ElideRight, kNameWidth);
        // Isolated, so that a right-to-left name keeps to its own place in the sentence.
        choiceText_->setText(tr("Selected: %1").arg(QStringLiteral("\u2068%1\u2069").arg(shown)));
    } else {
        choiceGlyph_->setGlyph(Glyph::warning);
        choiceGlyph_->setColour(std::nullopt);
        choiceGlyph_->setAccessibleName(tr("Warning"));
        choiceText_->setText(tr("No device selected"));
    }
    continue_->setEnabled(stored.has_value());
}

void DeviceChoicePage::updateEmptyState() {
    const bool empty = rows_.empty();
    listHost_->setVisible(!empty);
    emptyState_->setVisible(empty);
    if (!empty) {
        return;
    }
    const auto& error = app_.scanner.error().get();
    if (error == CentralLifecycle::kPoweredOffError) {
        emptyText_->setText(tr("Bluetooth is off. Turn it on to see the devices nearby."));
    } else if (error == CentralLifecycle::kAccessDeniedError) {
        emptyText_->setText(tr("The Bluetooth service refused access."));
    } else if (error) {
        emptyText_->setText(tr("Bluetooth is not available."));
    } else if (app_.scanner.isScanning().get()) {
        emptyText_->setText(tr("Scanning for devices..."));
    } else {
        emptyText_->setText(tr("Looking for devices..."));
    }
}

void DeviceChoicePage::finish() {
    // Monitoring from here on: the chosen device's readings feed the threshold screen.
    app_.scanner.setScanMode(false);
    app_.scanner.stopScanning();
    app_.scanner.setCanScan(true);
    Q_EMIT stepDone();
}

}  // namespace ambleguard::ui
