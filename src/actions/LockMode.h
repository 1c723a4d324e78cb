#pragma once

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <array>
#include <optional>
#include <string_view>

namespace ambleguard {

// What happens when the device goes away; stored under `lockMode` as its raw string.
enum class LockMode { lockScreen, startScreensaver, runShortcut };

inline constexpr std::array<LockMode, 3> kAllLockModes = {
    LockMode::lockScreen, LockMode::startScreensaver, LockMode::runShortcut};

inline std::string_view rawValue(LockMode mode) {
    switch (mode) {
        case LockMode::lockScreen:
            return "Lock Screen";
        case LockMode::startScreensaver:
            return "Start Screensaver";
        case LockMode::runShortcut:
            return "Run Shortcut";
    }
    return "Lock Screen";
}

inline std::optional<LockMode> lockModeFromRawValue(std::string_view raw) {
    for (LockMode mode : kAllLockModes) {
        if (rawValue(mode) == raw) {
            return mode;
        }
    }
    return std::nullopt;
}

// The stored mode; a missing key or an unknown string means locking the screen.
inline LockMode storedLockMode(const SettingsStore& store) {
    const auto raw = store.stringForKey(keys::lockMode);
    return raw ? lockModeFromRawValue(*raw).value_or(LockMode::lockScreen) : LockMode::lockScreen;
}

}  // namespace ambleguard
