#include "ui/OverlayPage.h"

#include "ui/Colours.h"
#include "ui/ToneLabel.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace ambleguard::ui {

OverlayPage::OverlayPage(const QString& title, const QString& closeText, QWidget* parent)
    : QWidget(parent) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* header = new QHBoxLayout();
    header->setContentsMargins(12, 12, 12, 6);
    title_ = new QLabel(title, this);
    title_->setFont(scaledFont(font(), 15));
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    title_->setAccessibleName(title);
    header->addWidget(title_, 1);
    closeButton_ = new QPushButton(closeText, this);
    closeButton_->setAccessibleName(closeText);
    connect(closeButton_, &QPushButton::clicked, this, &OverlayPage::close);
    header->addWidget(closeButton_);
    outer->addLayout(header);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    outer->addWidget(line);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(scroll);
    column_ = new QVBoxLayout(content);
    column_->setContentsMargins(12, 12, 12, 12);
    column_->setSpacing(18);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);
}

void OverlayPage::close() {
    Q_EMIT closed();
}

QLabel* OverlayPage::addHeading(const QString& text, QVBoxLayout* layout) {
    auto* label = new QLabel(text);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setWordWrap(true);
    (layout != nullptr ? layout : column_)->addWidget(label);
    return label;
}

ToneLabel* OverlayPage::addNote(const QString& text, QVBoxLayout* layout) {
    auto* label = new ToneLabel(text);
    label->setFont(captionFont(font()));
    (layout != nullptr ? layout : column_)->addWidget(label);
    return label;
}

void OverlayPage::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void OverlayPage::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        paletteChanged();
    }
}

QFont captionFont(const QFont& body) {
    return scaledFont(body, 11);
}

ToneLabel* indentedNote(QVBoxLayout* layout, const QString& text, const QFont& base) {
    auto* note = new ToneLabel(text);
    note->setFont(captionFont(base));
    note->setContentsMargins(24, 0, 0, 0);
    layout->addWidget(note);
    return note;
}

QVBoxLayout* addBlock(QVBoxLayout* column) {
    auto* block = new QVBoxLayout();
    block->setSpacing(6);
    column->addLayout(block);
    return block;
}

}  // namespace ambleguard::ui
