#include "settings/SettingsStore.h"

#include <cmath>

namespace ambleguard {

SettingsStore::SettingsStore(SettingsPersistence& persistence, LogSink& logSink)
    : persistence_(persistence), log_(logSink, "Settings") {
    auto loaded = persistence_.load();
    values_ = std::move(loaded.values);
    for (const auto& problem : loaded.problems) {
        log_.error("{}", problem);
    }
}

std::optional<SettingValue> SettingsStore::lookup(std::string_view key) const {
    std::lock_guard lock(mutex_);
    if (auto it = values_.find(key); it != values_.end()) {
        return it->second;
    }
    if (auto it = registered_.find(key); it != registered_.end()) {
        return it->second;
    }
    return std::nullopt;
}

std::optional<bool> SettingsStore::boolIfPresent(std::string_view key) const {
    auto value = lookup(key);
    if (value && std::holds_alternative<bool>(*value)) {
        return std::get<bool>(*value);
    }
    return std::nullopt;
}

std::optional<double> SettingsStore::doubleIfPresent(std::string_view key) const {
    auto value = lookup(key);
    if (!value)
        return std::nullopt;
    if (auto* d = std::get_if<double>(&*value))
        return *d;
    if (auto* i = std::get_if<std::int64_t>(&*value))
        return static_cast<double>(*i);
    return std::nullopt;
}

std::optional<std::int64_t> SettingsStore::integerIfPresent(std::string_view key) const {
    auto value = lookup(key);
    if (!value)
        return std::nullopt;
    if (auto* i = std::get_if<std::int64_t>(&*value))
        return *i;
    if (auto* d = std::get_if<double>(&*value)) {
        // Truncate as a number conversion would; out-of-range doubles read as absent.
        if (std::isfinite(*d) && std::fabs(*d) < 9.2e18) {
            return static_cast<std::int64_t>(*d);
        }
    }
    return std::nullopt;
}

bool SettingsStore::boolForKey(std::string_view key) const {
    return boolIfPresent(key).value_or(false);
}

std::int64_t SettingsStore::integerForKey(std::string_view key) const {
    return integerIfPresent(key).value_or(0);
}

double SettingsStore::doubleForKey(std::string_view key) const {
    return doubleIfPresent(key).value_or(0.0);
}

std::optional<std::string> SettingsStore::stringForKey(std::string_view key) const {
    auto value = lookup(key);
    if (value && std::holds_alternative<std::string>(*value)) {
        return std::get<std::string>(*value);
    }
    return std::nullopt;
}

std::optional<Instant> SettingsStore::dateForKey(std::string_view key) const {
    auto value = lookup(key);
    if (value && std::holds_alternative<Instant>(*value)) {
        return std::get<Instant>(*value);
    }
    return std::nullopt;
}

std::optional<SettingValue> SettingsStore::objectForKey(std::string_view key) const {
    return lookup(key);
}

std::optional<SettingValue> SettingsStore::storedValue(std::string_view key) const {
    std::lock_guard lock(mutex_);
    if (auto it = values_.find(key); it != values_.end()) {
        return it->second;
    }
    return std::nullopt;
}

SettingValues SettingsStore::storedValues() const {
    std::lock_guard lock(mutex_);
    return values_;
}

void SettingsStore::setBool(std::string_view key, bool value) {
    set(key, SettingValue(value));
}
void SettingsStore::setInteger(std::string_view key, std::int64_t value) {
    set(key, SettingValue(value));
}
void SettingsStore::setDouble(std::string_view key, double value) {
    set(key, SettingValue(value));
}
void SettingsStore::setString(std::string_view key, std::string value) {
    set(key, SettingValue(std::move(value)));
}
void SettingsStore::setDate(std::string_view key, Instant value) {
    set(key, SettingValue(value));
}

void SettingsStore::set(std::string_view key, SettingValue value) {
    if (auto* d = std::get_if<double>(&value); d && !std::isfinite(*d)) {
        log_.error("Refusing to store a non-finite number under {}", key);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        values_.insert_or_assign(std::string(key), std::move(value));
        persistLocked();
    }
    changed();
}

void SettingsStore::removeObject(std::string_view key) {
    {
        std::lock_guard lock(mutex_);
        if (auto it = values_.find(key); it != values_.end()) {
            values_.erase(it);
        }
        persistLocked();
    }
    changed();
}

void SettingsStore::registerDefaults(const SettingValues& defaults) {
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : defaults) {
        registered_.insert_or_assign(key, value);
    }
}

bool SettingsStore::synchronize() {
    std::lock_guard lock(mutex_);
    persistLocked();
    return !persistFailed_;
}

Connection SettingsStore::onChange(std::function<void()> observer) {
    return changed_.connect(std::move(observer));
}

bool SettingsStore::isMemoryOnly() const {
    std::lock_guard lock(mutex_);
    return persistFailed_;
}

void SettingsStore::persistLocked() {
    const auto saved = persistence_.save(values_);
    if (!saved) {
        // Report the first failure of a run; the program goes on with the values in memory.
        if (!persistFailed_) {
            log_.error("Settings could not be saved to {}: {}; changes are kept in memory only",
                       persistence_.location(), saved.error());
        }
        persistFailed_ = true;
    } else {
        if (persistFailed_) {
            log_.info("Settings saved to {} again", persistence_.location());
        }
        persistFailed_ = false;
    }
}

void SettingsStore::changed() {
    changed_.emit();
}

}  // namespace ambleguard
