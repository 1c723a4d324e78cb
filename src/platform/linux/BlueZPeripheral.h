#pragma once

#include "platform/BleCentral.h"

#include <QString>

#include <atomic>
#include <mutex>

namespace ambleguard::linuxdesktop {

// A BlueZ device object as a peripheral. The Bluetooth thread updates it; any thread reads it.
class BlueZPeripheral final : public Peripheral {
  public:
    BlueZPeripheral(Uuid identifier, QString path)
        : identifier_(identifier), path_(std::move(path)) {}

    Uuid identifier() const override { return identifier_; }
    std::optional<std::string> name() const override {
        std::lock_guard lock(mutex_);
        return name_;
    }
    PeripheralConnectionState state() const override { return state_.load(); }
    bool isPaired() const override { return paired_.load(); }
    bool usesRandomAddress() const override { return randomAddress_.load(); }

    const QString& path() const { return path_; }

    void setName(std::optional<std::string> name) {
        std::lock_guard lock(mutex_);
        name_ = std::move(name);
    }
    void setState(PeripheralConnectionState state) { state_ = state; }
    void setPaired(bool paired) { paired_ = paired; }
    void setRandomAddress(bool random) { randomAddress_ = random; }

  private:
    const Uuid identifier_;
    const QString path_;
    mutable std::mutex mutex_;
    std::optional<std::string> name_;
    std::atomic<PeripheralConnectionState> state_{PeripheralConnectionState::disconnected};
    std::atomic<bool> paired_{false};
    std::atomic<bool> randomAddress_{false};
};

}  // namespace ambleguard::linuxdesktop
