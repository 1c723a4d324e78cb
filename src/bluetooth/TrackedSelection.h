#pragma once

#include "base/Uuid.h"

#include <mutex>
#include <optional>
#include <string>

namespace ambleguard {

// The device the user chose to track: its identifier and, for a beacon, its identity key.
// Written on the main thread and read from the Bluetooth executor, so every read takes both
// values together under a lock; a reader never sees a new identifier with an old identity.
class TrackedSelection {
  public:
    struct Snapshot {
        std::optional<Uuid> identifier;
        std::optional<std::string> beaconIdentity;
    };

    Snapshot snapshot() const {
        std::lock_guard lock(mutex_);
        return current_;
    }
    std::optional<Uuid> identifier() const {
        std::lock_guard lock(mutex_);
        return current_.identifier;
    }
    std::optional<std::string> beaconIdentity() const {
        std::lock_guard lock(mutex_);
        return current_.beaconIdentity;
    }
    void setIdentifier(std::optional<Uuid> identifier) {
        std::lock_guard lock(mutex_);
        current_.identifier = identifier;
    }
    void setBeaconIdentity(std::optional<std::string> identity) {
        std::lock_guard lock(mutex_);
        current_.beaconIdentity = std::move(identity);
    }

  private:
    mutable std::mutex mutex_;
    Snapshot current_;
};

}  // namespace ambleguard
