#pragma once

#include <QPalette>
#include <QString>
#include <QWidget>

namespace ambleguard::ui::shots {

// Palettes the screenshots are drawn in: the style's own light one, and a dark one like the
// desktops' dark themes.
QPalette lightPalette();
QPalette darkPalette();
// Applies `dark` or light to the whole application (widgets made afterwards follow it).
void usePalette(bool dark);
// Lays `widget` out at its size (or `size` when given), lets queued work run, and writes it to
// dir/name.png. Returns false when the file could not be written.
bool save(QWidget& widget, const QString& dir, const QString& name, QSize size = {});

}  // namespace ambleguard::ui::shots
