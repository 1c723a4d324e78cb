#pragma once

namespace ambleguard {

// The first-run screens, in the order the user meets them.
enum class OnboardingScreen {
    agreement,
    permissions,
    deviceSelection,
    calibration,
    launchAtLogin,
    final,
};

// What the user has done so far in this run of onboarding. Kept only while the window is open:
// closing it early and starting again begins at the agreement.
struct OnboardingFlags {
    bool isAgreementAccepted = false;
    bool isPermissionsGranted = false;
    bool isDeviceSelected = false;
    bool isCalibrationCompleted = false;
    bool isLaunchAtLoginSetupCompleted = false;
};

// The first screen whose step is not done yet; the final screen once every step is.
constexpr OnboardingScreen visibleScreen(const OnboardingFlags& flags) {
    if (!flags.isAgreementAccepted) {
        return OnboardingScreen::agreement;
    }
    if (!flags.isPermissionsGranted) {
        return OnboardingScreen::permissions;
    }
    if (!flags.isDeviceSelected) {
        return OnboardingScreen::deviceSelection;
    }
    if (!flags.isCalibrationCompleted) {
        return OnboardingScreen::calibration;
    }
    if (!flags.isLaunchAtLoginSetupCompleted) {
        return OnboardingScreen::launchAtLogin;
    }
    return OnboardingScreen::final;
}

// Marks the step of `screen` done (the final screen has none).
constexpr void completeStep(OnboardingFlags& flags, OnboardingScreen screen) {
    switch (screen) {
        case OnboardingScreen::agreement:
            flags.isAgreementAccepted = true;
            return;
        case OnboardingScreen::permissions:
            flags.isPermissionsGranted = true;
            return;
        case OnboardingScreen::deviceSelection:
            flags.isDeviceSelected = true;
            return;
        case OnboardingScreen::calibration:
            flags.isCalibrationCompleted = true;
            return;
        case OnboardingScreen::launchAtLogin:
            flags.isLaunchAtLoginSetupCompleted = true;
            return;
        case OnboardingScreen::final:
            return;
    }
}

}  // namespace ambleguard
