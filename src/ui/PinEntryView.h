#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <array>

namespace ambleguard::ui {

// Four single-character secret fields and "Confirm". Typing moves on to the next field; the
// fourth character submits on its own. Every submission clears the fields and puts the focus
// back on the first one.
class PinEntryView : public QWidget {
    Q_OBJECT

  public:
    explicit PinEntryView(bool isSettingNewPin, QWidget* parent = nullptr);

    // Starts again with empty fields, titled for setting a new PIN or for entering one.
    void reset(bool isSettingNewPin);
    QString title() const { return title_->text(); }

  Q_SIGNALS:
    void submitted(const QString& pin);

  private:
    void fieldChanged(int tag);
    void submit();

    QLabel* title_;
    std::array<QLineEdit*, 4> fields_{};
    QPushButton* confirm_;
    bool submitting_ = false;
};

}  // namespace ambleguard::ui
