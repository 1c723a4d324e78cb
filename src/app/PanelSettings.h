#pragma once

#include "settings/SettingsStore.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ambleguard {

// What a settings panel control bound to `key` shows: the stored value, or while the key holds
// nothing usable, the bound default of the key table (never written by reading).
bool panelBool(const SettingsStore& store, std::string_view key);
double panelDouble(const SettingsStore& store, std::string_view key);
std::int64_t panelInteger(const SettingsStore& store, std::string_view key);
std::string panelString(const SettingsStore& store, std::string_view key);

}  // namespace ambleguard
