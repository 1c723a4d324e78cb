#pragma once

#include <QWidget>

class QScrollArea;
class QStackedWidget;

namespace ambleguard::ui {

// The window that holds a panel. Opened from the tray it behaves like a popover: frameless,
// placed by the pointer and kept on the screen, closed when it loses focus or on Esc. Where the
// program cannot place windows (Wayland) or has no tray, it is an ordinary titled window.
// Pages pushed over the main page (the overlays) cover it until they close.
class PanelWindow : public QWidget {
    Q_OBJECT

  public:
    PanelWindow(QWidget* mainPage, const QString& title, QWidget* parent = nullptr);

    // Popover behaviour (frameless, closes when focus leaves) or an ordinary window.
    void setPopoverStyle(bool popover);
    bool isPopoverStyle() const { return popover_; }

    // Shows the window at `anchor` (screen coordinates) or, without one, where the window
    // manager puts it; brings it to the front with keyboard focus.
    void present(const QPoint* anchor);
    // Sets the height it asks for, limited to the screen.
    void setPreferredHeight(int height);

    // Covers the main page with `page` until the page emits closed() or Esc is pressed.
    void pushPage(QWidget* page);
    QWidget* currentPage() const;

    // When the last deactivation closed the window, in milliseconds since the epoch; a click on
    // the tray icon right after such a close must not open it again at once.
    qint64 closedByDeactivationAt() const { return closedByDeactivationAt_; }

  Q_SIGNALS:
    void closed();

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private Q_SLOTS:
    // Back to the main page.
    void popPage();

  private:
    QStackedWidget* stack_;
    QScrollArea* scroll_;
    bool popover_ = false;
    int preferredHeight_ = 700;
    qint64 closedByDeactivationAt_ = 0;
};

}  // namespace ambleguard::ui
