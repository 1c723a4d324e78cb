#pragma once

#include <QWidget>

#include <vector>

namespace ambleguard::ui {

// The recent signal of the chosen device between two fixed dBm bounds, with the threshold as a
// dashed line inside the band of its two buffers. The line can be dragged with the pointer, or
// moved with the Up and Down keys (Page Up and Page Down for larger steps) when the chart has
// focus; the chart only reports the movement and shows whatever threshold it is given.
class CalibrationChart final : public QWidget {
    Q_OBJECT

  public:
    CalibrationChart(double yMin, double yMax, int maxPoints, QWidget* parent = nullptr);

    void setHistory(std::vector<double> history);
    void setThreshold(double threshold);
    void setBuffers(double returnBuffer, double awayBuffer);
    void setHasValidReading(bool valid);

    double threshold() const { return threshold_; }
    // Height in pixels of the area between the two bounds.
    double plotHeight() const;
    // Where the threshold line is drawn, in widget coordinates.
    double thresholdY() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  Q_SIGNALS:
    // The pointer moved `translationY` pixels (downwards positive) since the drag started.
    void thresholdDragged(double translationY, double plotHeight);
    void thresholdDragEnded();
    // The keyboard moved the threshold by whole dBm steps (up positive).
    void thresholdStepped(int steps);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QFont labelFont() const;
    double leftMargin() const;
    QRectF plotRect() const;
    double yFor(double dbm) const;
    bool nearLine(double y) const;
    void describe();

    double yMin_;
    double yMax_;
    int maxPoints_;
    std::vector<double> history_;
    double threshold_ = -67.0;
    double returnBuffer_ = 4.0;
    double awayBuffer_ = 4.0;
    bool hasValidReading_ = false;
    bool isDragging_ = false;
    double dragStartY_ = 0;
};

}  // namespace ambleguard::ui
