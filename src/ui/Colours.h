#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

namespace ambleguard::ui {

// The few colours the views name, each in a light and a dark shade chosen for at least 4.5:1
// contrast on the common desktop themes' window colours.
enum class StatusColour { green, red, orange, yellow, blue };

// A palette is dark when its window colour is.
bool isDark(const QPalette& palette);
QColor statusColour(StatusColour colour, const QPalette& palette);
// Text that matters less: the window text blended 70 % over the window.
QColor secondaryText(const QPalette& palette);

// The application font scaled from a body size of 13 to `points`, never below the smallest
// readable size the desktop asks for, and, for text smaller than the body, never above it.
QFont scaledFont(const QFont& base, double points);

}  // namespace ambleguard::ui
