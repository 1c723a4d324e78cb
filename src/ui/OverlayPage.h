#pragma once

#include <QFont>
#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace ambleguard::ui {

class ToneLabel;

// The frame every settings overlay shares: a header with the overlay's title and its closing
// button ("Done" or "Cancel"), and below it a scrolling column (the panel is only 400 px wide and
// may be shorter than an overlay). Esc closes too. Closing only emits closed(); the main panel
// decides what to show next.
class OverlayPage : public QWidget {
    Q_OBJECT
  public:
    OverlayPage(const QString& title, const QString& closeText, QWidget* parent = nullptr);

    QPushButton* closeButton() const { return closeButton_; }

  Q_SIGNALS:
    void closed();

  public Q_SLOTS:
    void close();

  protected:
    // The scrolling column, with the panels' 12 px spacing.
    QVBoxLayout* column() const { return column_; }
    // A bold section heading added to the column.
    QLabel* addHeading(const QString& text, QVBoxLayout* layout = nullptr);
    // A secondary, word-wrapped explanation.
    ToneLabel* addNote(const QString& text, QVBoxLayout* layout = nullptr);
    // Subclasses repaint their glyphs here when the palette changes.
    virtual void paletteChanged() {}

    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QLabel* title_;
    QPushButton* closeButton_;
    QVBoxLayout* column_;
};

// The font of explanations under a control: 11 over a body of 13.
QFont captionFont(const QFont& body);

// A group of rows that reads as one block: a heading and its rows, 6 px apart.
QVBoxLayout* addBlock(QVBoxLayout* column);

class ToneLabel;
// An explanation under the check box or radio button just added to `layout`, in caption size
// and in line with the control's text.
ToneLabel* indentedNote(QVBoxLayout* layout, const QString& text, const QFont& base);

}  // namespace ambleguard::ui
