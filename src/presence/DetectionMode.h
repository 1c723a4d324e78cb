#pragma once

#include <optional>
#include <string_view>

namespace ambleguard {

// How eager presence detection is; stored under `detectionMode` as its raw string.
enum class DetectionMode { responsive, balanced, stable };

// "Responsive", "Balanced" or "Stable".
std::string_view rawValue(DetectionMode mode);

// The mode whose raw string is exactly `text` (case matters); nothing otherwise.
std::optional<DetectionMode> parseDetectionMode(std::string_view text);

// The mode the filter uses for a stored string: an exact match, or `balanced` for anything else.
DetectionMode detectionModeOrBalanced(std::string_view text);

}  // namespace ambleguard
