#include "ui/SettingSlider.h"

#include "app/PanelSettings.h"
#include "ui/Colours.h"
#include "ui/OverlayPage.h"
#include "ui/ToneLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace ambleguard::ui {

SettingSlider::SettingSlider(SettingsStore& settings, std::string_view key, SliderScale scale,
                             const QString& title, const QString& help, Format format,
                             QWidget* parent)
    : QWidget(parent), settings_(settings), key_(key), scale_(scale), format_(std::move(format)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* top = new QHBoxLayout();
    auto* label = new QLabel(title, this);
    top->addWidget(label);
    top->addStretch(1);
    value_ = new QLabel(this);
    value_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    top->addWidget(value_);
    layout->addLayout(top);

    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setRange(0, scale_.positions());
    slider_->setSingleStep(1);
    slider_->setPageStep(std::max(1, scale_.positions() / 10));
    QString name = title;
    if (name.endsWith(QLatin1Char(':'))) {
        name.chop(1);
    }
    slider_->setAccessibleName(name);
    slider_->setAccessibleDescription(help);
    label->setBuddy(slider_);
    layout->addWidget(slider_);

    if (!help.isEmpty()) {
        auto* note = new ToneLabel(help, this);
        note->setFont(captionFont(font()));
        layout->addWidget(note);
    }

    connect(slider_, &QSlider::valueChanged, this, &SettingSlider::moved);
    refresh();
}

void SettingSlider::refresh() {
    const double stored = panelDouble(settings_, key_);
    const int position = scale_.positionFor(stored);
    const QSignalBlocker block(slider_);
    slider_->setValue(position);
    value_->setText(format_ ? format_(scale_.valueAt(position)) : QString());
}

QString SettingSlider::valueText() const {
    return value_->text();
}

void SettingSlider::moved(int position) {
    const double value = scale_.valueAt(position);
    value_->setText(format_ ? format_(value) : QString());
    settings_.setDouble(key_, value);
}

}  // namespace ambleguard::ui
