#include "ui/CalibrationChart.h"

#include "ui/Colours.h"
#include "ui/OnboardingGlyph.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include <algorithm>
#include <cmath>

namespace ambleguard::ui {

namespace {

constexpr double kRightMargin = 12;
constexpr double kTopMargin = 12;
constexpr double kBottomMargin = 12;
// How close to the line a press must be to grab it, in pixels.
constexpr double kGrabDistance = 10;
constexpr double kGridStep = 10;

QString dbmText(double dbm) {
    return QStringLiteral("%1 dBm").arg(std::lround(dbm));
}

}  // namespace

CalibrationChart::CalibrationChart(double yMin, double yMax, int maxPoints, QWidget* parent)
    : QWidget(parent), yMin_(yMin), yMax_(yMax), maxPoints_(std::max(2, maxPoints)) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(tr("Signal and threshold"));
    describe();
}

QSize CalibrationChart::sizeHint() const {
    return {560, 200};
}

QSize CalibrationChart::minimumSizeHint() const {
    return {280, 200};
}

void CalibrationChart::setHistory(std::vector<double> history) {
    history_ = std::move(history);
    describe();
    update();
}

void CalibrationChart::setThreshold(double threshold) {
    if (threshold_ == threshold) {
        return;
    }
    threshold_ = threshold;
    describe();
    update();
}

void CalibrationChart::setBuffers(double returnBuffer, double awayBuffer) {
    returnBuffer_ = returnBuffer;
    awayBuffer_ = awayBuffer;
    update();
}

void CalibrationChart::setHasValidReading(bool valid) {
    if (hasValidReading_ == valid) {
        return;
    }
    hasValidReading_ = valid;
    describe();
    update();
}

QFont CalibrationChart::labelFont() const {
    return scaledFont(font(), 10);
}

double CalibrationChart::leftMargin() const {
    // Room for the widest axis label, whatever the font.
    const QFontMetricsF metrics(labelFont());
    return std::max(metrics.horizontalAdvance(dbmText(yMin_)),
                    metrics.horizontalAdvance(dbmText(yMax_))) +
           12;
}

QRectF CalibrationChart::plotRect() const {
    return QRectF(rect()).adjusted(leftMargin(), kTopMargin, -kRightMargin, -kBottomMargin);
}

double CalibrationChart::plotHeight() const {
    return plotRect().height();
}

double CalibrationChart::yFor(double dbm) const {
    const QRectF plot = plotRect();
    const double clamped = std::clamp(dbm, yMin_, yMax_);
    return plot.bottom() - (clamped - yMin_) * plot.height() / (yMax_ - yMin_);
}

double CalibrationChart::thresholdY() const {
    return yFor(threshold_);
}

bool CalibrationChart::nearLine(double y) const {
    return std::abs(y - thresholdY()) <= kGrabDistance;
}

void CalibrationChart::describe() {
    QString text = tr("Threshold %1.").arg(dbmText(threshold_));
    if (hasValidReading_ && !history_.empty()) {
        text += QLatin1Char(' ') + tr("Signal %1.").arg(dbmText(history_.back()));
    } else {
        text += QLatin1Char(' ') + tr("No signal yet.");
    }
    text += QLatin1Char(' ') + tr("Up and Down move the threshold.");
    setAccessibleDescription(text);
}

void CalibrationChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A chart reads left to right in any language: its labels are numbers, and a right-to-left
    // layout would move their minus signs to the end.
    painter.setLayoutDirection(Qt::LeftToRight);
    const QPalette& pal = palette();
    const QColor text = pal.color(QPalette::WindowText);
    const QColor secondary = secondaryText(pal);
    const QRectF plot = plotRect();

    // The plot area, a shade off the window so it reads as a surface.
    painter.setPen(Qt::NoPen);
    painter.setBrush(pal.color(QPalette::Base));
    painter.drawRoundedRect(plot, 4, 4);

    // Grid lines and their labels every 10 dBm.
    const QFont small = labelFont();
    const double labelsWidth = plot.left() - 8;
    painter.setFont(small);
    const QFontMetricsF metrics(small);
    QColor grid = text;
    grid.setAlphaF(0.12F);
    for (double dbm = std::ceil(yMin_ / kGridStep) * kGridStep; dbm <= yMax_; dbm += kGridStep) {
        const double y = yFor(dbm);
        painter.setPen(QPen(grid, 1));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(secondary);
        const QRectF label(0, y - metrics.height() / 2, labelsWidth, metrics.height());
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, dbmText(dbm));
    }

    // The buffers around the threshold, then the threshold itself.
    const QColor highlight = pal.color(QPalette::Highlight);
    QColor band = highlight;
    band.setAlphaF(0.15F);
    const double bandTop = yFor(threshold_ + returnBuffer_);
    const double bandBottom = yFor(threshold_ - awayBuffer_);
    painter.setPen(Qt::NoPen);
    painter.setBrush(band);
    painter.drawRect(QRectF(plot.left(), bandTop, plot.width(), bandBottom - bandTop));

    // The signal, newest at the right edge.
    if (!history_.empty()) {
        const double step = plot.width() / (maxPoints_ - 1);
        const double firstX = plot.right() - step * static_cast<double>(history_.size() - 1);
        QPainterPath path;
        for (std::size_t i = 0; i < history_.size(); ++i) {
            const QPointF point(firstX + step * static_cast<double>(i), yFor(history_[i]));
            if (i == 0) {
                path.moveTo(point);
            } else {
                path.lineTo(point);
            }
        }
        const QColor line = hasValidReading_ ? statusColour(StatusColour::blue, pal) : secondary;
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(line, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
        painter.setPen(Qt::NoPen);
        painter.setBrush(line);
        painter.drawEllipse(QPointF(plot.right(), yFor(history_.back())), 4, 4);
    } else {
        painter.setPen(secondary);
        painter.setFont(font());
        painter.drawText(plot, Qt::AlignCenter, tr("Listening for your device\u2026"));
    }

    const double lineY = thresholdY();
    QPen dashed(highlight, isDragging_ ? 3 : 2, Qt::DashLine);
    painter.setPen(dashed);
    painter.drawLine(QPointF(plot.left(), lineY), QPointF(plot.right(), lineY));
    painter.setFont(small);
    const QString label = tr("Threshold %1").arg(dbmText(threshold_));
    const double labelWidth = metrics.horizontalAdvance(label) + 8;
    // Above the line unless that leaves the plot.
    const double labelTop =
        lineY - metrics.height() - 4 >= plot.top() ? lineY - metrics.height() - 4 : lineY + 4;
    // At the left, away from the newest readings at the right edge.
    const QRectF labelRect(plot.left() + 4, labelTop, labelWidth, metrics.height());
    painter.setPen(Qt::NoPen);
    QColor labelBackground = pal.color(QPalette::Base);
    labelBackground.setAlphaF(0.85F);
    painter.setBrush(labelBackground);
    painter.drawRoundedRect(labelRect, 3, 3);
    painter.setPen(text);
    painter.drawText(labelRect, Qt::AlignCenter, label);

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = plot.toAlignedRect().adjusted(-2, -2, 2, 2);
        option.backgroundColor = pal.color(QPalette::Window);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void CalibrationChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !plotRect().contains(event->position())) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    // A press away from the line first brings the line to the pointer, so that a click sets
    // the threshold where it lands; the drag then carries on from there.
    isDragging_ = true;
    dragStartY_ = thresholdY();
    Q_EMIT thresholdDragged(event->position().y() - dragStartY_, plotHeight());
    update();
}

void CalibrationChart::mouseMoveEvent(QMouseEvent* event) {
    if (isDragging_) {
        Q_EMIT thresholdDragged(event->position().y() - dragStartY_, plotHeight());
        return;
    }
    setCursor(nearLine(event->position().y()) ? Qt::SizeVerCursor : Qt::ArrowCursor);
}

void CalibrationChart::mouseReleaseEvent(QMouseEvent* event) {
    if (!isDragging_ || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    isDragging_ = false;
    Q_EMIT thresholdDragEnded();
    update();
}

void CalibrationChart::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
            Q_EMIT thresholdStepped(1);
            return;
        case Qt::Key_Down:
            Q_EMIT thresholdStepped(-1);
            return;
        case Qt::Key_PageUp:
            Q_EMIT thresholdStepped(5);
            return;
        case Qt::Key_PageDown:
            Q_EMIT thresholdStepped(-5);
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace ambleguard::ui
