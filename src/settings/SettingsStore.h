#pragma once

#include "base/Log.h"
#include "base/SettingValue.h"
#include "base/Signal.h"
#include "platform/SettingsPersistence.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

// The one flat key-value store of every user setting and every piece of state that survives a
// restart. Lookups see the stored value first, then a registered default. Direct reads of a
// key that was never written (or holds a value of another type) give false, 0 or nothing;
// integers and doubles convert into each other as numbers do. Every write is persisted at once
// and then announced through the change signal. Reads are safe from any thread; writes belong
// to the main queue.
class SettingsStore {
  public:
    SettingsStore(SettingsPersistence& persistence, LogSink& logSink);
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Direct reads.
    bool boolForKey(std::string_view key) const;
    std::int64_t integerForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;
    std::optional<std::string> stringForKey(std::string_view key) const;
    std::optional<Instant> dateForKey(std::string_view key) const;
    std::optional<SettingValue> objectForKey(std::string_view key) const;

    // Typed lookups that tell "absent" apart from false/0; used by bound readers.
    std::optional<bool> boolIfPresent(std::string_view key) const;
    std::optional<double> doubleIfPresent(std::string_view key) const;
    std::optional<std::int64_t> integerIfPresent(std::string_view key) const;

    // The value written by the user or the program, ignoring registered defaults.
    std::optional<SettingValue> storedValue(std::string_view key) const;
    SettingValues storedValues() const;

    void setBool(std::string_view key, bool value);
    void setInteger(std::string_view key, std::int64_t value);
    // Non-finite numbers cannot be stored; such a write is refused and logged.
    void setDouble(std::string_view key, double value);
    void setString(std::string_view key, std::string value);
    void setDate(std::string_view key, Instant value);
    void set(std::string_view key, SettingValue value);
    void removeObject(std::string_view key);

    // Values every reader sees while a key holds nothing of its own; never persisted.
    void registerDefaults(const SettingValues& defaults);

    // Writes everything to disk again; false when that failed.
    bool synchronize();

    // Raised after every write (set or remove), synchronously. Reads may come from any thread,
    // but writes come from the main queue only, so observers run there (the signal checks it
    // in debug builds).
    [[nodiscard]] Connection onChange(std::function<void()> observer);

    // True when the last attempt to persist failed (changes live in memory only).
    bool isMemoryOnly() const;

  private:
    std::optional<SettingValue> lookup(std::string_view key) const;
    void persistLocked();
    void changed();

    SettingsPersistence& persistence_;
    Logger log_;
    mutable std::mutex mutex_;
    SettingValues values_;
    SettingValues registered_;
    bool persistFailed_ = false;
    Signal<> changed_;
};

}  // namespace ambleguard
