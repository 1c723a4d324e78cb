#include "ui/AgreementPage.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ambleguard::ui {

AgreementPage::AgreementPage(MainQueue& mainQueue, bool checksForUpdates,
                             std::function<void()> quit, QWidget* parent)
    : OnboardingPage(tr("Thank you for choosing Ambleguard!"), parent) {
    auto* text = new QLabel(agreementText(checksForUpdates), this);
    text->setTextFormat(Qt::RichText);
    text->setWordWrap(true);
    text->setAccessibleName(tr("Agreement"));
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    content()->addWidget(text);

    auto* quitButton = buttons()->addButton(tr("Quit"), QDialogButtonBox::RejectRole);
    quitButton->setAccessibleName(tr("Quit"));
    connect(quitButton, &QPushButton::clicked, this, [quit = std::move(quit)] { quit(); });

    QPushButton* accept = addPrimaryButton(tr("Continue"));
    accept->setEnabled(false);
    connect(accept, &QPushButton::clicked, this, &OnboardingPage::stepDone);
    allowAccept_ = mainQueue.postAfter(kAcceptDelay, [accept] { accept->setEnabled(true); });
}

QString AgreementPage::agreementText(bool checksForUpdates) {
    // Rich text so that the heading is bold and each point is its own line.
    const QString points[] = {
        tr("Due to the nature of Bluetooth, this may occasionally cause early locks or delays"),
        tr("Phones and watches must be paired with this computer"),
        // A build that looks for updates asks its version service; saying nothing is sent would
        // be untrue there.
        checksForUpdates ? tr("Everything stays on your devices - the only thing sent is a "
                              "check for a newer version, with a random identifier")
                         : tr("Everything stays on your devices - no data sent anywhere"),
    };
    QString html = QStringLiteral("<p>%1</p><p><b>%2</b></p><p>")
                       .arg(tr("Ambleguard automatically locks your computer when you walk away, "
                               "and optionally unlocks it when you come back, using your phone, "
                               "watch, or any other compatible Bluetooth device. It can also run "
                               "shortcuts for away and back events.")
                                .toHtmlEscaped(),
                            tr("What you should know:").toHtmlEscaped());
    for (const QString& point : points) {
        html += QStringLiteral("\u2022 %1<br>").arg(point.toHtmlEscaped());
    }
    html += QStringLiteral("</p><p>%1</p>")
                .arg(tr("You can fine tune detection and always unlock your computer manually "
                        "whenever needed.")
                         .toHtmlEscaped());
    return html;
}

}  // namespace ambleguard::ui
