#pragma once

#include "base/Executor.h"
#include "base/Liveness.h"
#include "base/Signal.h"
#include "platform/NetworkLinks.h"

#include <optional>
#include <string>
#include <vector>

namespace ambleguard::sim {

// The tethers a simulated computer can have to a phone.
enum class SimTether { wifiHotspot, bluetoothPAN };

// The computer's network interfaces: a Wi-Fi interface on the office network, to which a
// phone's Wi-Fi hotspot or a Bluetooth PAN link can be brought up and taken down. Changes are
// announced on the executor given (the main queue), as a real system announces them later
// than they happen.
class SimNetworkLinks final : public NetworkLinks {
  public:
    static constexpr const char* kOfficeAddress = "192.168.1.23";
    static constexpr const char* kHotspotAddress = "172.20.10.4";
    static constexpr const char* kPanAddress = "192.168.44.2";

    explicit SimNetworkLinks(Executor& notifyQueue) : queue_(notifyQueue) {
        interfaces_.push_back(NetworkInterface{"wlan0", true, "Wi-Fi", {kOfficeAddress}});
    }

    std::optional<Connection> watch(std::function<void()> onChange) override {
        if (!watchable_) {
            return std::nullopt;
        }
        return changed_.connect(std::move(onChange));
    }
    std::optional<std::vector<NetworkInterface>> interfaces() const override { return interfaces_; }

    // Brings a tether up or down (the Wi-Fi interface changes network; the PAN interface
    // appears or goes).
    void setTether(SimTether tether, bool up) {
        if (tether == SimTether::wifiHotspot) {
            interfaces_.front().ipv4Addresses = {up ? kHotspotAddress : kOfficeAddress};
        } else {
            std::erase_if(interfaces_, [](const auto& i) { return i.name == "bnep0"; });
            if (up) {
                interfaces_.push_back(
                    NetworkInterface{"bnep0", false, "Bluetooth PAN", {kPanAddress}});
            }
        }
        announce();
    }
    // Replaces the interfaces as a test describes them.
    void setInterfaces(std::vector<NetworkInterface> interfaces) {
        interfaces_ = std::move(interfaces);
        announce();
    }
    // False: watching fails, as without a network manager.
    void setWatchable(bool watchable) { watchable_ = watchable; }

  private:
    void announce() {
        queue_.post(liveness_.guarded([this] { changed_.emit(); }));
    }

    Executor& queue_;
    std::vector<NetworkInterface> interfaces_;
    bool watchable_ = true;
    Signal<> changed_;
    LivenessToken liveness_;
};

}  // namespace ambleguard::sim
