#pragma once

#include <QString>

namespace ambleguard::ui {

// Renders every settings overlay and alert, on the simulated platform, in the panel's 400 px
// width, as dir/<name>.png: settings (as shown and its whole column), schedule, shortcuts,
// the password overlay for typed passwords and for session unlocking, and the two alerts. With
// `dark` a dark palette is used (the application palette is restored afterwards).
void renderOverlayShots(const QString& dir, bool dark);

}  // namespace ambleguard::ui
