#include "ui/ToneLabel.h"

#include <QApplication>
#include <QEvent>

namespace ambleguard::ui {

ToneLabel::ToneLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    applyTone();
}

void ToneLabel::setTone(std::optional<StatusColour> tone) {
    tone_ = tone;
    applyTone();
}

void ToneLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !applying_) {
        applyTone();
    }
}

void ToneLabel::applyTone() {
    // The surrounding palette decides, not this label's own, which holds the last tone.
    const QPalette base =
        parentWidget() != nullptr ? parentWidget()->palette() : QApplication::palette();
    QPalette own = palette();
    own.setColor(QPalette::WindowText, tone_ ? statusColour(*tone_, base) : secondaryText(base));
    applying_ = true;
    setPalette(own);
    applying_ = false;
}

}  // namespace ambleguard::ui
