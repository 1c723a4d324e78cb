#include "ui/OnboardingPage.h"

#include "ui/Colours.h"
#include "ui/OnboardingGlyph.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ambleguard::ui {

OnboardingPage::OnboardingPage(const QString& title, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(12);

    auto* heading = new QLabel(title, this);
    QFont headingFont = scaledFont(font(), 20);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    heading->setWordWrap(true);
    heading->setAccessibleName(title);
    layout->addWidget(heading);

    content_ = new QVBoxLayout;
    content_->setSpacing(12);
    layout->addLayout(content_);
    layout->addStretch(1);

    buttons_ = new QDialogButtonBox(this);
    layout->addWidget(buttons_);
}

QPushButton* OnboardingPage::addPrimaryButton(const QString& text) {
    primary_ = buttons_->addButton(text, QDialogButtonBox::AcceptRole);
    primary_->setAccessibleName(text);
    return primary_;
}

QLabel* OnboardingPage::addParagraph(const QString& text, bool secondary) {
    auto* label = new QLabel(text, this);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    content_->addWidget(label);
    if (secondary) {
        makeSecondary(label);
    }
    return label;
}

void OnboardingPage::makeSecondary(QLabel* label) {
    // Labels of rows that were rebuilt are gone; their entries go too.
    std::erase_if(secondary_, [](const QPointer<QLabel>& known) { return known.isNull(); });
    secondary_.emplace_back(label);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, secondaryText(this->palette()));
    label->setPalette(palette);
}

void OnboardingPage::applySecondaryColours() {
    const QColor colour = secondaryText(palette());
    for (const auto& label : secondary_) {
        if (label) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, colour);
            label->setPalette(palette);
        }
    }
}

void OnboardingPage::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applySecondaryColours();
    }
}

}  // namespace ambleguard::ui
