#pragma once

#include "ui/Colours.h"
#include "ui/Icons.h"

#include <QLabel>

#include <optional>

namespace ambleguard::ui {

// A symbol drawn in the window text colour, or in one of the named status colours, repainted
// whenever the palette changes (a symbolic icon keeps its file's colour otherwise, which would
// be black on a dark window).
class OnboardingGlyph final : public QLabel {
  public:
    OnboardingGlyph(Glyph glyph, int size, QWidget* parent = nullptr);

    void setGlyph(Glyph glyph);
    // Nothing: the window text colour.
    void setColour(std::optional<StatusColour> colour);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void repaintGlyph();

    Glyph glyph_;
    int size_;
    std::optional<StatusColour> colour_;
};

}  // namespace ambleguard::ui
