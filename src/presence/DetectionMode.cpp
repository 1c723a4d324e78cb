#include "presence/DetectionMode.h"

namespace ambleguard {

std::string_view rawValue(DetectionMode mode) {
    switch (mode) {
        case DetectionMode::responsive:
            return "Responsive";
        case DetectionMode::balanced:
            return "Balanced";
        case DetectionMode::stable:
            return "Stable";
    }
    return "Balanced";
}

std::optional<DetectionMode> parseDetectionMode(std::string_view text) {
    for (auto mode : {DetectionMode::responsive, DetectionMode::balanced, DetectionMode::stable}) {
        if (text == rawValue(mode)) {
            return mode;
        }
    }
    return std::nullopt;
}

DetectionMode detectionModeOrBalanced(std::string_view text) {
    return parseDetectionMode(text).value_or(DetectionMode::balanced);
}

}  // namespace ambleguard
