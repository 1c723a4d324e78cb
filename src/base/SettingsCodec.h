#pragma once

#include "base/Result.h"
#include "base/SettingValue.h"

#include <string>
#include <vector>

namespace ambleguard {

// The settings file: one JSON object whose members are the stored keys. Booleans, integers,
// doubles and texts are plain JSON values (a double is always written with a decimal point or
// exponent so it reads back as a double); a date is {"date": "<ISO 8601 UTC>"}.
struct DecodedSettings {
    SettingValues values;
    // Keys whose values were not of a storable kind. They read as absent, but their JSON is
    // kept in `preservedJson` (an object) so that saving does not lose them.
    std::vector<std::string> skippedKeys;
    std::string preservedJson = "{}";
};

// `preservedJson` holds members written back unchanged unless `values` has the same key.
std::string encodeSettings(const SettingValues& values, const std::string& preservedJson = "{}");

// The values, or why `text` is not a settings file at all.
Result<DecodedSettings> decodeSettings(const std::string& text);

}  // namespace ambleguard
