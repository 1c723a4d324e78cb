#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace ambleguard::ui {

// Symbols the views show. Each comes from the desktop's icon theme when the theme has one of
// its names, else from the SVG bundled with the program.
enum class Glyph {
    warning,
    ok,
    error,
    undetermined,
    bluetooth,
    refresh,
    undo,
    play,
    hand,
};

// The glyph repainted in `colour`: symbolic icons keep the colour drawn in their file, which
// would be black on a dark panel.
QIcon glyphIcon(Glyph glyph, const QColor& colour);

// The tray icon's name: monitoring on or off, or, with the signal glyph shown, the signal level
// 0 to 4. The tray exports icons by name, so the panel's own theme can tint them.
QString trayIconName(bool monitoring, int signalLevel = -1);
// That icon from the theme (where the package installed it) or the bundled copy.
QIcon trayIcon(const QString& name);

}  // namespace ambleguard::ui
