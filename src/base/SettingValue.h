#pragma once

#include "base/Time.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace ambleguard {

// One stored setting: a boolean, an integer, a double, a text or a date.
using SettingValue = std::variant<bool, std::int64_t, double, std::string, Instant>;
using SettingValues = std::map<std::string, SettingValue, std::less<>>;

enum class SettingType { boolean, integer, real, text, date };

std::string_view typeName(SettingType type);
SettingType typeOf(const SettingValue& value);

// The text form used on the command line: true/false, decimal numbers (shortest form that reads
// back exactly), the text itself, ISO 8601 dates in UTC.
std::string formatSettingValue(const SettingValue& value);

// Parses `text` as a value of `type`; nothing when it does not fit. Booleans accept
// true/false/yes/no/1/0 (any case); numbers must be finite and use the whole text.
std::optional<SettingValue> parseSettingValue(SettingType type, std::string_view text);

}  // namespace ambleguard
