#pragma once

#include <QString>

namespace ambleguard::ui {

// Draws the panel in each state the user can meet (searching, in range, weak, out of range,
// stale, monitoring off, no device, a long name), the tray menu and the PIN entry, into dir as
// PNG files, in the palette the application uses now.
void renderPanelShots(const QString& dir);

}  // namespace ambleguard::ui
