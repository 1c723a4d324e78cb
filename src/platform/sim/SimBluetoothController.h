#pragma once

#include "base/Liveness.h"
#include "base/Signal.h"
#include "platform/BluetoothController.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard::sim {

// A simulated Bluetooth host controller: one entry of properties (powered on, a fair link),
// events a scenario or test injects, and the ways watching it can fail.
class SimBluetoothController final : public BluetoothController {
  public:
    SimBluetoothController();

    Result<Connection, ControllerWatchError> watch(
        Executor& queue, std::function<void(ControllerEvent)> onEvent) override;
    ControllerReading readProperties() const override { return reading_; }

    // The controller's service reports an event (after the property changes that come with it).
    void inject(ControllerEvent event);
    // Sets a property of the first entry (adding the entry when there is none).
    void setProperty(std::string_view key, ControllerValue value);
    void removeProperty(std::string_view key);
    // The whole reading, as a test describes it.
    void setReading(ControllerReading reading) { reading_ = std::move(reading); }
    // Watching fails at this step from now on.
    void failWatch(std::optional<ControllerWatchError> error) { watchError_ = error; }

  private:
    ControllerReading reading_;
    std::optional<ControllerWatchError> watchError_;
    Signal<ControllerEvent> events_;
};

}  // namespace ambleguard::sim
