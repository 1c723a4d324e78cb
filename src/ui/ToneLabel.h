#pragma once

#include "ui/Colours.h"

#include <QLabel>

#include <optional>

namespace ambleguard::ui {

// A word-wrapped label in the secondary text colour or one of the named status colours,
// recoloured when the desktop switches between light and dark.
class ToneLabel final : public QLabel {
    Q_OBJECT
  public:
    explicit ToneLabel(const QString& text = {}, QWidget* parent = nullptr);

    // Nothing: the secondary colour.
    void setTone(std::optional<StatusColour> tone);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void applyTone();

    std::optional<StatusColour> tone_;
    bool applying_ = false;
};

}  // namespace ambleguard::ui
