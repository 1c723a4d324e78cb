#pragma once

#include "app/Application.h"
#include "base/Signal.h"
#include "ui/OverlayPage.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace ambleguard::ui {

class ToneLabel;

// The login password overlay and the unlock self-test. Where this platform unlocks by typing
// the password, the user enters it here to store it and may test it; where the login session
// unlocks itself, no password is asked for and the overlay offers the test and turning
// auto-unlock on. A running test goes on when the overlay closes, and its phase shows again
// when it reopens. The password typed here is never kept by the overlay beyond the field.
class PasswordOverlay final : public OverlayPage {
    Q_OBJECT
  public:
    static constexpr const char* kConfirmText =
        "This locks your screen and tries to unlock it automatically. Continue?";

    explicit PasswordOverlay(Application& app, QWidget* parent = nullptr);

    QLineEdit* passwordField() const { return password_; }
    QString statusText() const;
    QString testStatusText() const;
    QString candidateText() const;

  public Q_SLOTS:
    void save();
    void deletePassword();
    // Asks "Lock & test" / "Cancel" first.
    void testUnlock();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    bool typing() const;
    void lockAndTest();
    void showPhase();
    void updateButtons();

    Application& app_;
    QLineEdit* password_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* turnOn_ = nullptr;
    ToneLabel* status_ = nullptr;
    QLabel* candidate_ = nullptr;
    ToneLabel* testStatus_ = nullptr;
    bool passwordStored_ = false;
    // "Lock & test" without a candidate clears a finished test's line until the phase moves on.
    bool hideFinished_ = false;
    Connection phaseChanged_;
};

}  // namespace ambleguard::ui
