#include "ui/OnboardingGlyph.h"

#include <QEvent>

namespace ambleguard::ui {

OnboardingGlyph::OnboardingGlyph(Glyph glyph, int size, QWidget* parent)
    : QLabel(parent), glyph_(glyph), size_(size) {
    setFixedSize(size, size);
    repaintGlyph();
}

void OnboardingGlyph::setGlyph(Glyph glyph) {
    glyph_ = glyph;
    repaintGlyph();
}

void OnboardingGlyph::setColour(std::optional<StatusColour> colour) {
    colour_ = colour;
    repaintGlyph();
}

void OnboardingGlyph::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        repaintGlyph();
    }
}

void OnboardingGlyph::repaintGlyph() {
    const QColor colour =
        colour_ ? statusColour(*colour_, palette()) : palette().color(QPalette::WindowText);
    setPixmap(glyphIcon(glyph_, colour).pixmap(QSize(size_, size_), devicePixelRatioF()));
}

}  // namespace ambleguard::ui
