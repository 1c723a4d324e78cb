#include "ui/PasswordOverlay.h"

#include "app/PasswordPanelText.h"
#include "settings/SettingsKeys.h"
#include "ui/OverlayPage.h"
#include "ui/ToneLabel.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

namespace ambleguard::ui {

namespace {

std::optional<StatusColour> colourOf(StatusTone tone) {
    switch (tone) {
        case StatusTone::secondary:
            return std::nullopt;
        case StatusTone::green:
            return StatusColour::green;
        case StatusTone::red:
            return StatusColour::red;
        case StatusTone::orange:
            return StatusColour::orange;
    }
    return std::nullopt;
}

}  // namespace

PasswordOverlay::PasswordOverlay(Application& app, QWidget* parent)
    : OverlayPage(app.unlocker.method() == UnlockMethod::keystrokes
                      ? QStringLiteral("Set Login Password")
                      : QStringLiteral("Auto-Unlock"),
                  QStringLiteral("Cancel"), parent),
      app_(app) {
    QVBoxLayout* intro = addBlock(column());
    if (typing()) {
        auto* text = new QLabel(QStringLiteral(
            "Enter your login password. It will be stored securely in your keyring and used to "
            "unlock your screen when your device returns."));
        text->setWordWrap(true);
        intro->addWidget(text);
    } else {
        auto* text = new QLabel(QStringLiteral(
            "Ambleguard unlocks your screen by asking your login session to unlock when your "
            "device returns. No password is needed."));
        text->setWordWrap(true);
        intro->addWidget(text);
    }
    auto* warning = new ToneLabel(
        QStringLiteral("Auto-unlock feature is experimental and may not work reliably."));
    warning->setTone(StatusColour::orange);
    intro->addWidget(warning);

    // Wayland lets no program type into the lock screen, so the choice exists only elsewhere.
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        auto* choice = new QCheckBox(QStringLiteral("Type the password into the lock screen"));
        choice->setAccessibleName(QStringLiteral("Type the password"));
        choice->setChecked(app_.settings.boolForKey(keys::unlockByTyping));
        intro->addWidget(choice);
        indentedNote(intro,
                     QStringLiteral("For X11 lock screens that ignore the session's unlock "
                                    "request. Takes effect the next time Ambleguard starts."),
                     font());
        connect(choice, &QCheckBox::toggled, this,
                [this](bool on) { app_.settings.setBool(keys::unlockByTyping, on); });
    }

    if (typing()) {
        QVBoxLayout* entry = addBlock(column());
        password_ = new QLineEdit();
        password_->setEchoMode(QLineEdit::Password);
        password_->setPlaceholderText(QStringLiteral("Login Password"));
        password_->setAccessibleName(QStringLiteral("Login Password"));
        entry->addWidget(password_);
        status_ = new ToneLabel();
        status_->setTone(StatusColour::red);
        status_->hide();
        entry->addWidget(status_);
        auto* buttons = new QHBoxLayout();
        delete_ = new QPushButton(QStringLiteral("Delete Password"));
        delete_->setAccessibleName(QStringLiteral("Delete Password"));
        buttons->addWidget(delete_);
        buttons->addStretch(1);
        save_ = new QPushButton(QStringLiteral("Save"));
        save_->setAccessibleName(QStringLiteral("Save"));
        save_->setDefault(true);
        buttons->addWidget(save_);
        entry->addLayout(buttons);
        connect(password_, &QLineEdit::textChanged, this, [this] { updateButtons(); });
        connect(password_, &QLineEdit::returnPressed, this, &PasswordOverlay::save);
        connect(save_, &QPushButton::clicked, this, &PasswordOverlay::save);
        connect(delete_, &QPushButton::clicked, this, &PasswordOverlay::deletePassword);
    } else {
        auto* buttons = new QHBoxLayout();
        buttons->addStretch(1);
        turnOn_ = new QPushButton(QStringLiteral("Turn On Auto-Unlock"));
        turnOn_->setAccessibleName(QStringLiteral("Turn On Auto-Unlock"));
        buttons->addWidget(turnOn_);
        addBlock(column())->addLayout(buttons);
        connect(turnOn_, &QPushButton::clicked, this, [this] {
            app_.settings.setBool(keys::autoUnlockEnabled, true);
            close();
        });
    }

    QVBoxLayout* test = addBlock(column());
    auto* testRow = new QHBoxLayout();
    auto* testButton = new QPushButton(QStringLiteral("Test Unlock"));
    testButton->setAccessibleName(QStringLiteral("Test Unlock"));
    testRow->addWidget(testButton);
    testRow->addStretch(1);
    test->addLayout(testRow);
    candidate_ = new ToneLabel();
    candidate_->setFont(captionFont(font()));
    test->addWidget(candidate_);
    testStatus_ = new ToneLabel();
    testStatus_->setAccessibleName(QStringLiteral("Test status"));
    test->addWidget(testStatus_);
    connect(testButton, &QPushButton::clicked, this, &PasswordOverlay::testUnlock);
    column()->addStretch(1);

    phaseChanged_ = app_.unlockTest.phase().observe([this](const UnlockTestPhase&) {
        hideFinished_ = false;
        showPhase();
    });
    passwordStored_ = typing() && app_.passwords.retrievePassword().has_value();
    updateButtons();
    showPhase();
}

bool PasswordOverlay::typing() const {
    return app_.unlocker.method() == UnlockMethod::keystrokes;
}

void PasswordOverlay::save() {
    if (password_ == nullptr || password_->text().isEmpty()) {
        return;
    }
    std::string text = password_->text().toStdString();
    const bool stored = app_.passwords.storePassword(text);
    wipe(text);
    if (!stored) {
        status_->setText(QStringLiteral("Failed to store password in your keyring"));
        status_->show();
        return;
    }
    password_->clear();
    app_.settings.setBool(keys::autoUnlockEnabled, true);
    close();
}

void PasswordOverlay::deletePassword() {
    app_.passwords.deletePassword();
    passwordStored_ = false;
    app_.settings.setBool(keys::autoUnlockEnabled, false);
    close();
}

void PasswordOverlay::testUnlock() {
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Test Unlock"),
                                QString::fromUtf8(kConfirmText), QMessageBox::NoButton, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* confirm = box->addButton(QStringLiteral("Lock & test"), QMessageBox::AcceptRole);
    QPushButton* cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(confirm);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::buttonClicked, this, [this, confirm](QAbstractButton* clicked) {
        if (clicked == confirm) {
            lockAndTest();
        }
    });
    box->open();
}

void PasswordOverlay::lockAndTest() {
    if (!typing()) {
        // The session unlocks itself; there is no password to try.
        app_.unlockTest.startTest("");
        return;
    }
    const auto source = candidateSource(!password_->text().isEmpty(), passwordStored_);
    if (!source) {
        if (!app_.unlockTest.isRunning()) {
            hideFinished_ = true;
            showPhase();
        }
        return;
    }
    if (*source == CandidateSource::entered) {
        std::string candidate = password_->text().toStdString();
        app_.unlockTest.startTest(candidate);
        wipe(candidate);
    } else if (auto saved = app_.passwords.retrievePassword()) {
        app_.unlockTest.startTest(saved->view());
    } else {
        // Removed from the keyring since the overlay looked.
        passwordStored_ = false;
        updateButtons();
    }
}

void PasswordOverlay::showPhase() {
    const auto line = unlockTestStatus(app_.unlockTest.phase().get(), app_.unlocker.method());
    const bool hidden = !line || (hideFinished_ && !app_.unlockTest.isRunning());
    testStatus_->setVisible(!hidden);
    if (!hidden) {
        testStatus_->setText(QString::fromStdString(line->text));
        testStatus_->setTone(colourOf(line->tone));
    }
}

void PasswordOverlay::updateButtons() {
    if (typing()) {
        save_->setEnabled(!password_->text().isEmpty());
        delete_->setVisible(passwordStored_);
        const auto source = candidateSource(!password_->text().isEmpty(), passwordStored_);
        candidate_->setVisible(source.has_value());
        if (source) {
            candidate_->setText(QString::fromStdString(candidateCaption(*source)));
        }
    } else {
        candidate_->hide();
        turnOn_->setVisible(!app_.settings.boolForKey(keys::autoUnlockEnabled));
    }
}

void PasswordOverlay::showEvent(QShowEvent* event) {
    OverlayPage::showEvent(event);
    passwordStored_ = typing() && app_.passwords.retrievePassword().has_value();
    hideFinished_ = false;
    updateButtons();
    showPhase();
}

QString PasswordOverlay::statusText() const {
    return status_ == nullptr || status_->isHidden() ? QString() : status_->text();
}

QString PasswordOverlay::testStatusText() const {
    return testStatus_->isHidden() ? QString() : testStatus_->text();
}

QString PasswordOverlay::candidateText() const {
    return candidate_->isHidden() ? QString() : candidate_->text();
}

}  // namespace ambleguard::ui
