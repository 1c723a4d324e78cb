#pragma once

#include "platform/BleCentral.h"

namespace ambleguard::sim {

// A peripheral of the simulated world; the world changes its connection state.
class SimPeripheral final : public Peripheral {
  public:
    SimPeripheral(Uuid identifier, std::optional<std::string> name)
        : identifier_(identifier), name_(std::move(name)) {}

    Uuid identifier() const override { return identifier_; }
    std::optional<std::string> name() const override { return name_; }
    PeripheralConnectionState state() const override { return state_; }

    void setState(PeripheralConnectionState state) { state_ = state; }

  private:
    Uuid identifier_;
    std::optional<std::string> name_;
    PeripheralConnectionState state_ = PeripheralConnectionState::disconnected;
};

}  // namespace ambleguard::sim
