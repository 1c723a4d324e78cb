#pragma once

#include "presence/PresenceEngine.h"

#include <optional>
#include <string_view>

namespace ambleguard {

// The published presence of the tracked device, stored under `devicePresenceState` as its raw
// string. The away and return actions read it when their delayed work runs.
enum class DevicePresenceState { present, weakSignal, absent };

// "Present", "Weak Signal" or "Absent".
std::string_view rawValue(DevicePresenceState state);

// The state whose raw string is exactly `text`; nothing otherwise.
std::optional<DevicePresenceState> parseDevicePresenceState(std::string_view text);

// present -> present, leaving -> weakSignal, gone -> absent.
DevicePresenceState devicePresenceStateFor(const PresenceEngine::State& state);

}  // namespace ambleguard
