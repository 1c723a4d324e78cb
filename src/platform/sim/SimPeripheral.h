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
    bool isPaired() const override { return paired_; }
    bool usesRandomAddress() const override { return randomAddress_; }

    void setState(PeripheralConnectionState state) { state_ = state; }
    void setAddressKind(bool paired, bool randomAddress) {
        paired_ = paired;
        randomAddress_ = randomAddress;
    }

  private:
    Uuid identifier_;
    std::optional<std::string> name_;
    PeripheralConnectionState state_ = PeripheralConnectionState::disconnected;
    bool paired_ = false;
    bool randomAddress_ = false;
};

}  // namespace ambleguard::sim
