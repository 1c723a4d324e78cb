#include "ui/FinalPage.h"

#include "ui/Colours.h"
#include "ui/OnboardingGlyph.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ambleguard::ui {

FinalPage::FinalPage(bool trayAvailable, QWidget* parent) : OnboardingPage(tr("All Set"), parent) {
    content()->addSpacing(18);
    auto* done = new OnboardingGlyph(Glyph::ok, 64, this);
    done->setColour(StatusColour::green);
    done->setAccessibleName(tr("Ready"));
    content()->addWidget(done, 0, Qt::AlignHCenter);
    auto* text = addParagraph(readyText(trayAvailable));
    text->setAlignment(Qt::AlignHCenter);
    text->setFont(scaledFont(font(), 15));

    QPushButton* finish = addPrimaryButton(tr("Finish"));
    connect(finish, &QPushButton::clicked, this, &OnboardingPage::stepDone);
}

QString FinalPage::readyText(bool trayAvailable) {
    return trayAvailable ? tr("Ambleguard is now ready to use and will be available in your "
                              "system tray.")
                         : tr("Ambleguard is now ready to use. Your desktop shows no system "
                              "tray, so open Ambleguard from your application launcher to see "
                              "its settings.");
}

}  // namespace ambleguard::ui
