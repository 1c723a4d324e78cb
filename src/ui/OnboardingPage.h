#pragma once

#include <QPointer>
#include <QWidget>

#include <vector>

class QDialogButtonBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace ambleguard::ui {

// One screen of the first-run window: a title, the screen's own content, and a row of buttons
// with one primary button, which the window presses on Return. The window shows the row below
// the content, where it stays in view when the content has to scroll. The screen says when its
// step is done.
class OnboardingPage : public QWidget {
    Q_OBJECT

  public:
    explicit OnboardingPage(const QString& title, QWidget* parent = nullptr);

    // The window moves on to another screen: timers and scans this screen started stop here,
    // before the screen itself goes away.
    virtual void leave() {}

    QPushButton* primaryButton() const { return primary_; }
    QDialogButtonBox* buttons() const { return buttons_; }

  Q_SIGNALS:
    void stepDone();

  protected:
    // Where the screen puts its content, between the title and the buttons.
    QVBoxLayout* content() const { return content_; }
    // The button Return presses; the screen connects what it does.
    QPushButton* addPrimaryButton(const QString& text);
    // A wrapped paragraph of plain text added to the content; secondary text is dimmer.
    QLabel* addParagraph(const QString& text, bool secondary = false);
    // Keeps `label` in the secondary text colour, also after the palette changes.
    void makeSecondary(QLabel* label);

    void changeEvent(QEvent* event) override;

  private:
    void applySecondaryColours();

    QVBoxLayout* content_;
    QDialogButtonBox* buttons_;
    QPushButton* primary_ = nullptr;
    std::vector<QPointer<QLabel>> secondary_;
};

}  // namespace ambleguard::ui
