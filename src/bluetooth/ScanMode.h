#pragma once

#include <string_view>

namespace ambleguard {

// What a scan is for: onboarding lists every device from scratch; monitoring follows the tracked
// device and keeps the list it has.
enum class ScanMode { onboarding, monitoring };

constexpr std::string_view toString(ScanMode mode) {
    return mode == ScanMode::onboarding ? "onboarding" : "monitoring";
}

}  // namespace ambleguard
