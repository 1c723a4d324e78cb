#pragma once

#include "ui/PinEntryView.h"

#include <QWidget>

#include <functional>

namespace ambleguard::ui {

// The small window that asks for the PIN: a popover by the pointer where windows can be
// placed, else a plain dialog-like window. Losing focus or Esc dismisses it without an answer.
class PinPrompt : public QWidget {
    Q_OBJECT

  public:
    explicit PinPrompt(QWidget* parent = nullptr);

    // Shows a fresh entry; `answered` gets the text, `dismissed` runs when it closes without.
    void ask(bool isSettingNewPin, const QPoint* anchor, std::function<void(QString)> answered,
             std::function<void()> dismissed);
    PinEntryView* entry() const { return entry_; }

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void dismiss();

    PinEntryView* entry_;
    std::function<void(QString)> answered_;
    std::function<void()> dismissed_;
};

}  // namespace ambleguard::ui
