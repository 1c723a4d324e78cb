#include "platform/sim/SimBluetoothController.h"

#include <memory>

namespace ambleguard::sim {

SimBluetoothController::SimBluetoothController() {
    reading_.entries.push_back(
        ControllerEntry{0, ControllerProperties{{"BT Power State", std::int64_t{1}},
                                                {"LinkQuality", std::int64_t{80}},
                                                {"RSSIThreshold", std::int64_t{-70}}}});
}

Result<Connection, ControllerWatchError> SimBluetoothController::watch(
    Executor& queue, std::function<void(ControllerEvent)> onEvent) {
    if (watchError_) {
        return failure(*watchError_);
    }
    // Events reach the watcher on its queue; a posted event dies with the watch.
    auto alive = std::make_shared<bool>(true);
    Connection inner =
        events_.connect([&queue, onEvent, weak = std::weak_ptr(alive)](ControllerEvent event) {
            queue.post([onEvent, weak, event] {
                if (weak.lock()) {
                    onEvent(event);
                }
            });
        });
    return Connection([inner = std::make_shared<Connection>(std::move(inner)),
                       alive = std::move(alive)]() mutable {
        inner->reset();
        alive.reset();
    });
}

void SimBluetoothController::inject(ControllerEvent event) {
    events_.emit(event);
}

void SimBluetoothController::setProperty(std::string_view key, ControllerValue value) {
    if (reading_.entries.empty() || !reading_.entries.front().properties) {
        reading_.entries.insert(reading_.entries.begin(),
                                ControllerEntry{0, ControllerProperties{}});
    }
    (*reading_.entries.front().properties)[std::string(key)] = std::move(value);
}

void SimBluetoothController::removeProperty(std::string_view key) {
    if (!reading_.entries.empty() && reading_.entries.front().properties) {
        auto& properties = *reading_.entries.front().properties;
        if (const auto found = properties.find(key); found != properties.end()) {
            properties.erase(found);
        }
    }
}

}  // namespace ambleguard::sim
