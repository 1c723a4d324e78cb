#include "app/PanelSettings.h"

#include "settings/SettingsKeys.h"

#include <variant>

namespace ambleguard {

namespace {

template <typename T>
T tableDefault(std::string_view key) {
    const SettingKeySpec* entry = findSettingKey(key);
    if (entry == nullptr || !entry->boundDefault) {
        return T{};
    }
    if (const T* value = std::get_if<T>(&*entry->boundDefault)) {
        return *value;
    }
    return T{};
}

}  // namespace

bool panelBool(const SettingsStore& store, std::string_view key) {
    return store.boolIfPresent(key).value_or(tableDefault<bool>(key));
}

double panelDouble(const SettingsStore& store, std::string_view key) {
    if (auto value = store.doubleIfPresent(key)) {
        return *value;
    }
    return tableDefault<double>(key);
}

std::int64_t panelInteger(const SettingsStore& store, std::string_view key) {
    return store.integerIfPresent(key).value_or(tableDefault<std::int64_t>(key));
}

std::string panelString(const SettingsStore& store, std::string_view key) {
    return store.stringForKey(key).value_or(tableDefault<std::string>(key));
}

}  // namespace ambleguard
