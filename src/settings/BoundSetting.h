#pragma once

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <string>
#include <string_view>

namespace ambleguard {

// A reader bound to one key with its own default, as a panel control or a component property
// is: the default shows while the key holds nothing usable and is never written itself.
template <typename T>
class BoundSetting {
  public:
    BoundSetting(SettingsStore& store, std::string_view key, T defaultValue)
        : store_(&store), key_(key), default_(std::move(defaultValue)) {}
    // Bound with the key's one named default.
    template <typename D>
    BoundSetting(SettingsStore& store, const BoundKey<D>& key)
        : store_(&store), key_(key.name), default_(T(key.defaultValue)) {}

    T get() const;
    void set(const T& value) const;
    std::string_view key() const { return key_; }
    const T& defaultValue() const { return default_; }

  private:
    SettingsStore* store_;
    std::string_view key_;
    T default_;
};

template <>
inline bool BoundSetting<bool>::get() const {
    return store_->boolIfPresent(key_).value_or(default_);
}
template <>
inline void BoundSetting<bool>::set(const bool& value) const {
    store_->setBool(key_, value);
}

template <>
inline double BoundSetting<double>::get() const {
    return store_->doubleIfPresent(key_).value_or(default_);
}
template <>
inline void BoundSetting<double>::set(const double& value) const {
    store_->setDouble(key_, value);
}

template <>
inline std::int64_t BoundSetting<std::int64_t>::get() const {
    return store_->integerIfPresent(key_).value_or(default_);
}
template <>
inline void BoundSetting<std::int64_t>::set(const std::int64_t& value) const {
    store_->setInteger(key_, value);
}

template <>
inline std::string BoundSetting<std::string>::get() const {
    return store_->stringForKey(key_).value_or(default_);
}
template <>
inline void BoundSetting<std::string>::set(const std::string& value) const {
    store_->setString(key_, value);
}

}  // namespace ambleguard
