#include "ui/CalibrationPage.h"

#include "app/Application.h"
#include "settings/SettingsKeys.h"
#include "ui/CalibrationChart.h"
#include "ui/Colours.h"
#include "ui/OnboardingGlyph.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>
#include <cmath>

namespace ambleguard::ui {

namespace {

struct ModeRow {
    const char* name;
    const char* description;
};

constexpr std::array<ModeRow, 3> kModes{{
    {"Responsive", QT_TRANSLATE_NOOP("ambleguard::ui::CalibrationPage",
                                     "Reacts fastest of all modes. May cause false positives.")},
    {"Balanced", QT_TRANSLATE_NOOP("ambleguard::ui::CalibrationPage",
                                   "Filters most noise. Reacts faster than Stable.")},
    {"Stable", QT_TRANSLATE_NOOP("ambleguard::ui::CalibrationPage",
                                 "Quite conservative, but filters noise. Takes longer to react "
                                 "but prevents false triggers. This is the default.")},
}};

// The device's name is cut to this width in the status line.
constexpr int kNameWidth = 320;

QString dbm(double value) {
    return QStringLiteral("%1 dBm").arg(std::lround(value));
}

}  // namespace

CalibrationPage::CalibrationPage(Application& app, QWidget* parent)
    : OnboardingPage(tr("Set Signal Threshold"), parent),
      app_(app),
      averageMinRSSI_(app.settings, bound::averageMinRSSI),
      hysteresisAwayBuffer_(app.settings, bound::hysteresisAwayBuffer),
      hysteresisReturnBuffer_(app.settings, bound::hysteresisReturnBuffer),
      detectionMode_(app.settings, bound::detectionMode) {
    addParagraph(
        tr("Drag the threshold dashed line up or down to set when your device is "
           "considered nearby or away."));

    auto* readings = new QHBoxLayout;
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    status_->setAccessibleName(tr("Signal status"));
    readings->addWidget(status_, 1);
    selected_ = new QLabel(this);
    selected_->setTextFormat(Qt::PlainText);
    QFont bold = selected_->font();
    bold.setBold(true);
    selected_->setFont(bold);
    readings->addWidget(selected_);
    content()->addLayout(readings);

    chart_ = new CalibrationChart(CalibrationModel::kYMin, CalibrationModel::kYMax,
                                  static_cast<int>(CalibrationModel::kMaxPoints), this);
    content()->addWidget(chart_);
    connect(chart_, &CalibrationChart::thresholdDragged, this,
            [this](double translationY, double plotHeight) {
                if (!model_.isDragging()) {
                    model_.beginDrag(averageMinRSSI_.get());
                }
                if (auto threshold = model_.dragTo(translationY, plotHeight)) {
                    setThreshold(*threshold);
                }
            });
    connect(chart_, &CalibrationChart::thresholdDragEnded, this, [this] { model_.endDrag(); });
    connect(chart_, &CalibrationChart::thresholdStepped, this, [this](int steps) {
        setThreshold(CalibrationModel::steppedThreshold(averageMinRSSI_.get(), steps));
    });

    warningRow_ = new QWidget(this);
    auto* warningLayout = new QHBoxLayout(warningRow_);
    warningLayout->setContentsMargins(0, 0, 0, 0);
    auto* warningGlyph = new OnboardingGlyph(Glyph::warning, 16, warningRow_);
    warningGlyph->setColour(StatusColour::orange);
    warningGlyph->setAccessibleName(tr("Warning"));
    warningLayout->addWidget(warningGlyph, 0, Qt::AlignTop);
    warning_ = new QLabel(warningRow_);
    warning_->setWordWrap(true);
    warning_->setTextFormat(Qt::PlainText);
    warning_->setFont(scaledFont(font(), 11));
    warningLayout->addWidget(warning_, 1);
    warningRow_->hide();
    content()->addWidget(warningRow_);

    auto* section = new QLabel(tr("Kalman filter settings"), this);
    section->setFont(bold);
    content()->addWidget(section);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);
    modes_ = new QButtonGroup(this);
    const std::string current = detectionMode_.get();
    for (std::size_t i = 0; i < kModes.size(); ++i) {
        const ModeRow& mode = kModes[i];
        auto* radio = new QRadioButton(QLatin1String(mode.name), this);
        const QString description = tr(mode.description);
        radio->setAccessibleName(QLatin1String(mode.name));
        radio->setAccessibleDescription(description);
        radio->setChecked(current == mode.name);
        modes_->addButton(radio, static_cast<int>(i));
        auto* label = new QLabel(description, this);
        label->setWordWrap(true);
        makeSecondary(label);
        label->setBuddy(radio);
        const int row = static_cast<int>(i);
        grid->addWidget(radio, row, 0, Qt::AlignTop);
        grid->addWidget(label, row, 1);
        connect(radio, &QRadioButton::toggled, this, [this, name = mode.name](bool checked) {
            if (checked) {
                detectionMode_.set(name);
            }
        });
    }
    content()->addLayout(grid);

    auto* skip = buttons()->addButton(tr("Skip, I'll tune it later"), QDialogButtonBox::RejectRole);
    skip->setAccessibleName(tr("Skip, I'll tune it later"));
    connect(skip, &QPushButton::clicked, this, &OnboardingPage::stepDone);
    QPushButton* next = addPrimaryButton(tr("Continue"));
    connect(next, &QPushButton::clicked, this, &OnboardingPage::stepDone);

    pollTimer_ = app_.ports().mainQueue.scheduleRepeating(CalibrationModel::kPollInterval, 0.0,
                                                          [this] { poll(); });
    refresh();
}

CalibrationModel::Thresholds CalibrationPage::thresholds() const {
    return {.averageMinRSSI = averageMinRSSI_.get(),
            .returnBuffer = hysteresisReturnBuffer_.get(),
            .awayBuffer = hysteresisAwayBuffer_.get()};
}

void CalibrationPage::poll() {
    model_.tick(app_.readout.lastFilteredRSSI(), app_.readout.lastReadingTimestamp(),
                app_.ports().clock.now());
    refresh();
}

void CalibrationPage::setThreshold(double threshold) {
    if (threshold != averageMinRSSI_.get()) {
        averageMinRSSI_.set(threshold);
    }
    refresh();
}

void CalibrationPage::refresh() {
    const CalibrationModel::Thresholds t = thresholds();
    const auto status = model_.status(t);
    const QString word =
        QString::fromUtf8(CalibrationModel::statusWord(status).data(),
                          static_cast<qsizetype>(CalibrationModel::statusWord(status).size()));
    const std::string device =
        app_.settings.stringForKey(keys::checkedPeripheralName).value_or("Unknown");
    const QString name =
        QFontMetrics(status_->font())
            .elidedText(QString::fromStdString(device).simplified(), Qt::ElideRight, kNameWidth);
    // The name is isolated so that a right-to-left name does not reorder what follows it.
    QString line = QStringLiteral("\u2068") + name + QStringLiteral("\u2069: ") + word;
    if (model_.hasValidReading()) {
        line += QStringLiteral(" \u00b7 ") + dbm(model_.smoothedRSSI());
    }
    status_->setText(line);
    selected_->setText(tr("Selected %1").arg(dbm(t.averageMinRSSI)));

    const auto& history = model_.history();
    chart_->setHistory(std::vector<double>(history.begin(), history.end()));
    chart_->setThreshold(t.averageMinRSSI);
    chart_->setBuffers(t.returnBuffer, t.awayBuffer);
    chart_->setHasValidReading(model_.hasValidReading());

    const auto warning = model_.warning(t.averageMinRSSI);
    warning_->setText(warning ? QString::fromStdString(*warning) : QString());
    warningRow_->setVisible(warning.has_value());
}

}  // namespace ambleguard::ui
