#pragma once

#include <QString>

namespace ambleguard::ui {

// Renders every onboarding screen, and the states worth looking at (Bluetooth off, the pairing
// advice, the threshold warning, no signal yet), to dir/onboarding-*.png, in a light or a dark
// palette. The program runs on the simulated platform with two phones at the desk.
void renderOnboardingShots(const QString& dir, bool dark);

}  // namespace ambleguard::ui
