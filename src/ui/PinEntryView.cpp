#include "ui/PinEntryView.h"

#include "ui/Colours.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace ambleguard::ui {

PinEntryView::PinEntryView(bool isSettingNewPin, QWidget* parent)
    : QWidget(parent), title_(new QLabel(this)), confirm_(new QPushButton(tr("Confirm"), this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    title_->setFont(scaledFont(font(), 15));
    title_->setAlignment(Qt::AlignCenter);
    layout->addWidget(title_);

    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addStretch();
    for (int tag = 0; tag < 4; ++tag) {
        auto* field = new QLineEdit(this);
        field->setEchoMode(QLineEdit::Password);
        field->setMaxLength(1);
        field->setAlignment(Qt::AlignCenter);
        field->setFixedWidth(fontMetrics().height() * 2 + 8);
        field->setAccessibleName(tr("PIN digit %1 of 4").arg(tag + 1));
        connect(field, &QLineEdit::textChanged, this, [this, tag] { fieldChanged(tag); });
        fields_[static_cast<std::size_t>(tag)] = field;
        row->addWidget(field);
    }
    row->addStretch();
    layout->addLayout(row);

    confirm_->setDefault(true);
    confirm_->setAutoDefault(true);
    connect(confirm_, &QPushButton::clicked, this, &PinEntryView::submit);
    for (QLineEdit* field : fields_) {
        connect(field, &QLineEdit::returnPressed, this, &PinEntryView::submit);
    }
    layout->addWidget(confirm_, 0, Qt::AlignHCenter);
    reset(isSettingNewPin);
}

void PinEntryView::reset(bool isSettingNewPin) {
    title_->setText(isSettingNewPin ? tr("Set PIN") : tr("Enter PIN"));
    submitting_ = true;
    for (QLineEdit* field : fields_) {
        field->clear();
    }
    submitting_ = false;
    fields_[0]->setFocus();
}

void PinEntryView::fieldChanged(int tag) {
    if (submitting_) {
        return;
    }
    const auto index = static_cast<std::size_t>(tag);
    if (fields_[index]->text().size() == 1 && tag < 3) {
        fields_[index + 1]->setFocus();
        fields_[index + 1]->selectAll();
    }
    for (QLineEdit* field : fields_) {
        if (field->text().size() != 1) {
            return;
        }
    }
    submit();
}

void PinEntryView::submit() {
    QString pin;
    for (QLineEdit* field : fields_) {
        pin += field->text();
    }
    submitting_ = true;
    for (QLineEdit* field : fields_) {
        field->clear();
    }
    submitting_ = false;
    fields_[0]->setFocus();
    Q_EMIT submitted(pin);
}

}  // namespace ambleguard::ui
