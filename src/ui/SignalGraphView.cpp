#include "ui/SignalGraphView.h"

#include "settings/SettingsKeys.h"
#include "ui/Colours.h"

#include <QPainter>
#include <QPainterPath>

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace ambleguard::ui {

namespace {

constexpr int kPlotHeight = 60;
constexpr int kHorizontalInset = 8;
constexpr int kBottomInset = 4;

}  // namespace

SignalGraphView::SignalGraphView(const Clock& clock, MainQueue& mainQueue,
                                 const SignalReadout& readout, SettingsStore& settings,
                                 QWidget* parent)
    : QWidget(parent),
      clock_(clock),
      mainQueue_(mainQueue),
      readout_(readout),
      settings_(settings),
      averageMinRSSI_(settings, bound::averageMinRSSI),
      hysteresisReturnBuffer_(settings, bound::hysteresisReturnBuffer),
      hysteresisAwayBuffer_(settings, bound::hysteresisAwayBuffer),
      showDeadBandOnGraph_(settings, bound::showDeadBandOnGraph) {
    setAccessibleName(tr("Signal graph"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    describe();
}

QSize SignalGraphView::sizeHint() const {
    return {360, kPlotHeight + kBottomInset};
}

QSize SignalGraphView::minimumSizeHint() const {
    return {160, kPlotHeight + kBottomInset};
}

void SignalGraphView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    rssiTimer_ = mainQueue_.scheduleRepeating(SignalGraphModel::kSamplingInterval, 0.0,
                                              [this] { sampleNow(); });
}

void SignalGraphView::hideEvent(QHideEvent* event) {
    rssiTimer_.cancel();
    QWidget::hideEvent(event);
}

void SignalGraphView::sampleNow() {
    model_.sample(clock_.now(), readout_.lastFilteredRSSI(), readout_.lastReadingTimestamp(),
                  settings_.stringForKey(keys::devicePresenceState));
    describe();
    update();
}

// Screen readers get the graph's gist: the latest value and the threshold.
void SignalGraphView::describe() {
    const int threshold = static_cast<int>(averageMinRSSI_.get());
    if (model_.history().empty()) {
        setAccessibleDescription(tr("No readings yet; threshold %1 dBm").arg(threshold));
    } else {
        setAccessibleDescription(tr("Latest %1 dBm; threshold %2 dBm%3")
                                     .arg(model_.history().back().value)
                                     .arg(threshold)
                                     .arg(model_.isStale() ? tr("; no signal") : QString()));
    }
}

void SignalGraphView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const double width = this->width() - 2.0 * kHorizontalInset;
    const double height = kPlotHeight;
    painter.translate(kHorizontalInset, 0);

    const double threshold = averageMinRSSI_.get();
    const auto& samples = model_.history();
    const auto scale = SignalGraphModel::scale(samples, threshold);
    // The labels get the room their text needs in this font, at least the usual width.
    const QFont labelFont = scaledFont(font(), 9);
    const double labelWidth =
        std::max(SignalGraphModel::kAxisLabelWidth,
                 QFontMetricsF(labelFont).horizontalAdvance(tr("%1 dBm").arg(-100)) + 4.0);
    const double plotRight = width - labelWidth;

    painter.setOpacity(model_.isStale() ? 0.25 : 1.0);

    QColor highlight = pal.color(QPalette::Highlight);
    if (showDeadBandOnGraph_.get()) {
        QColor band = highlight;
        band.setAlphaF(0.15F);
        const double top =
            SignalGraphModel::y(threshold + hysteresisReturnBuffer_.get(), scale, height);
        const double bottom =
            SignalGraphModel::y(threshold - hysteresisAwayBuffer_.get(), scale, height);
        painter.fillRect(QRectF(0, top, plotRight, bottom - top), band);
    }
    const double thresholdY = SignalGraphModel::y(threshold, scale, height);
    painter.setPen(QPen(highlight, 1.0, Qt::DashLine));
    painter.drawLine(QPointF(0, thresholdY), QPointF(plotRight, thresholdY));

    QColor line = pal.color(QPalette::WindowText);
    line.setAlphaF(0.5F);
    if (samples.size() > 1) {
        QPainterPath path;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const QPointF p(SignalGraphModel::x(static_cast<int>(i), width, labelWidth),
                            SignalGraphModel::y(samples[i].value, scale, height));
            if (i == 0) {
                path.moveTo(p);
            } else {
                path.lineTo(p);
            }
        }
        painter.setPen(QPen(line, 1.5));
        painter.drawPath(path);
    }
    painter.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        QColor dot =
            statusColour(samples[i].wasPresent ? StatusColour::blue : StatusColour::orange, pal);
        dot.setAlphaF(0.8F);
        painter.setBrush(dot);
        painter.drawEllipse(QPointF(SignalGraphModel::x(static_cast<int>(i), width, labelWidth),
                                    SignalGraphModel::y(samples[i].value, scale, height)),
                            3.0, 3.0);
    }

    // Axis labels: the top and bottom of the range and the threshold.
    painter.setOpacity(model_.isStale() ? 0.25 : 1.0);
    painter.setFont(labelFont);
    painter.setPen(secondaryText(pal));
    const QRectF labels(plotRight + 2, 0, labelWidth - 2, height);
    painter.drawText(labels, Qt::AlignRight | Qt::AlignTop, tr("%1 dBm").arg(scale.upper));
    painter.drawText(labels, Qt::AlignRight | Qt::AlignBottom, tr("%1 dBm").arg(scale.lower));
    // The threshold's own label only where it clears the other two.
    const double lineHeight = QFontMetricsF(labelFont).height();
    const double top = thresholdY - lineHeight / 2.0;
    if (top >= lineHeight && top + lineHeight <= height - lineHeight) {
        painter.setPen(highlight);
        painter.drawText(QRectF(labels.left(), top, labels.width(), lineHeight),
                         Qt::AlignRight | Qt::AlignVCenter,
                         tr("%1 dBm").arg(static_cast<int>(threshold)));
    }

    if (model_.isStale()) {
        painter.setOpacity(1.0);
        painter.setPen(pal.color(QPalette::WindowText));
        painter.setFont(scaledFont(font(), 13));
        painter.drawText(QRectF(0, 0, plotRight, height), Qt::AlignCenter, tr("No signal"));
    }
}

}  // namespace ambleguard::ui
