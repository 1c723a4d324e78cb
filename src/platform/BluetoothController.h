#pragma once

#include "base/Executor.h"
#include "base/Result.h"
#include "base/Signal.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ambleguard {

// A property of the Bluetooth host controller: a number, a text, a list of texts or a
// dictionary of texts.
using ControllerValue = std::variant<std::int64_t, std::string, std::vector<std::string>,
                                     std::map<std::string, std::string>>;
using ControllerProperties = std::map<std::string, ControllerValue, std::less<>>;

// One entry below the controller: its properties, or the status code of the failed read.
struct ControllerEntry {
    int status = 0;
    std::optional<ControllerProperties> properties;
};

// A walk over the controller's entries, in the system's order; `status` is non-zero when the
// walk itself could not start.
struct ControllerReading {
    int status = 0;
    std::vector<ControllerEntry> entries;
};

// Something happened to the controller's service.
enum class ControllerEventKind {
    terminated,
    suspended,
    resumed,
    requestingClose,
    wasClosed,
    busyStateChanged,
    other,  // anything else; `code` says what
};

struct ControllerEvent {
    ControllerEventKind kind = ControllerEventKind::other;
    std::uint32_t code = 0;
};

// Watching the controller could not start.
struct ControllerWatchError {
    enum class Step {
        noController,       // there is no Bluetooth controller
        noEventSource,      // the system offers no way to hear its events
        subscriptionFailed  // the subscription was refused; `code` says why
    };
    Step step = Step::noController;
    int code = 0;
};

// The Bluetooth host controller, watched independently of the central role: its properties
// and the events of its service. Purely diagnostic.
class BluetoothController {
  public:
    virtual ~BluetoothController() = default;
    // Delivers every event on `queue` until the connection is dropped.
    virtual Result<Connection, ControllerWatchError> watch(
        Executor& queue, std::function<void(ControllerEvent)> onEvent) = 0;
    virtual ControllerReading readProperties() const = 0;
};

// Where the controller cannot be watched: diagnostics say so once and stay passive.
class NullBluetoothController final : public BluetoothController {
  public:
    Result<Connection, ControllerWatchError> watch(Executor&,
                                                   std::function<void(ControllerEvent)>) override {
        return failure(ControllerWatchError{});
    }
    ControllerReading readProperties() const override { return {}; }
};

}  // namespace ambleguard
