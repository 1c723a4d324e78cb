#pragma once

#include "base/Result.h"
#include "cli/Scenario.h"

#include <string>
#include <string_view>

namespace ambleguard::cli {

// Why a scenario was refused, and where: `path` names the field as in
// "devices[1].rssi[3]" (empty when the document as a whole is wrong).
struct ScenarioError {
    std::string path;
    std::string message;

    // "devices[1].rssi[3]: ..." or just the message.
    std::string describe() const;
};

// The longest run a scenario may ask for; more is almost certainly a typo.
inline constexpr double kMaxScenarioDuration = 31 * 24 * 3600.0;

// Reads a scenario from its JSON text (the format is described in the README). Settings are
// typed by the key table; the defaults a scenario starts from (onboarding complete, scanning
// allowed, every advertisement reported) are filled in unless the scenario gives them. Never
// throws; anything malformed is an error naming the field.
Result<Scenario, ScenarioError> parseScenario(std::string_view text);

}  // namespace ambleguard::cli
