#include "presence/DevicePresenceState.h"

namespace ambleguard {

std::string_view rawValue(DevicePresenceState state) {
    switch (state) {
        case DevicePresenceState::present:
            return "Present";
        case DevicePresenceState::weakSignal:
            return "Weak Signal";
        case DevicePresenceState::absent:
            return "Absent";
    }
    return "Present";
}

std::optional<DevicePresenceState> parseDevicePresenceState(std::string_view text) {
    for (auto state : {DevicePresenceState::present, DevicePresenceState::weakSignal,
                       DevicePresenceState::absent}) {
        if (text == rawValue(state)) {
            return state;
        }
    }
    return std::nullopt;
}

DevicePresenceState devicePresenceStateFor(const PresenceEngine::State& state) {
    if (std::holds_alternative<PresenceEngine::Leaving>(state)) {
        return DevicePresenceState::weakSignal;
    }
    if (std::holds_alternative<PresenceEngine::Gone>(state)) {
        return DevicePresenceState::absent;
    }
    return DevicePresenceState::present;
}

}  // namespace ambleguard
