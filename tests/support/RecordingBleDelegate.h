#pragma once

#include "platform/BleCentral.h"
#include "platform/Clock.h"

#include <optional>
#include <string>
#include <vector>

namespace ambleguard::test {

// Keeps every central callback with the time it arrived.
class RecordingBleDelegate : public BleCentralDelegate {
  public:
    struct Discovery {
        Instant at;
        PeripheralRef peripheral;
        AdvertisementData advertisement;
        int rssi;
    };
    struct LinkEvent {
        enum class Kind { connected, failed, disconnected, rssi } kind;
        Instant at;
        PeripheralRef peripheral;
        std::optional<std::string> error;
        int rssi = 0;
    };

    explicit RecordingBleDelegate(const Clock& clock) : clock_(clock) {}

    void centralDidUpdateState(BleManagerState state) override {
        states.push_back(state);
        order.push_back("state");
    }
    void centralWillRestoreState(const BleRestoredState& state) override {
        restored.push_back(state);
        order.push_back("restore");
    }
    void centralDidDiscover(const PeripheralRef& peripheral, const AdvertisementData& advertisement,
                            int rssi) override {
        ++discoveryCount;
        if (keepDiscoveries) {
            discoveries.push_back(Discovery{clock_.now(), peripheral, advertisement, rssi});
        }
    }
    void centralDidConnect(const PeripheralRef& peripheral) override {
        links.push_back({LinkEvent::Kind::connected, clock_.now(), peripheral, std::nullopt});
    }
    void centralDidFailToConnect(const PeripheralRef& peripheral,
                                 const std::optional<std::string>& error) override {
        links.push_back({LinkEvent::Kind::failed, clock_.now(), peripheral, error});
    }
    void centralDidDisconnect(const PeripheralRef& peripheral,
                              const std::optional<std::string>& error) override {
        links.push_back({LinkEvent::Kind::disconnected, clock_.now(), peripheral, error});
    }
    void peripheralDidReadRSSI(const PeripheralRef& peripheral, int rssi,
                               const std::optional<std::string>& error) override {
        links.push_back({LinkEvent::Kind::rssi, clock_.now(), peripheral, error, rssi});
    }

    std::vector<BleManagerState> states;
    std::vector<BleRestoredState> restored;
    std::vector<std::string> order;
    std::vector<Discovery> discoveries;
    std::vector<LinkEvent> links;
    std::size_t discoveryCount = 0;
    bool keepDiscoveries = true;

  private:
    const Clock& clock_;
};

}  // namespace ambleguard::test
