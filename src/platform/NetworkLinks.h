#pragma once

#include "base/Signal.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ambleguard {

// One network interface as the system reports it.
struct NetworkInterface {
    // The kernel's name for it (wlan0, bnep0); interfaces without one are skipped.
    std::optional<std::string> name;
    // A wireless LAN interface.
    bool wifi = false;
    // What the system shows the user; a Bluetooth network device's name says "Bluetooth".
    std::string displayName;
    // Its IPv4 addresses in dotted form, possibly none.
    std::vector<std::string> ipv4Addresses;
    // The system counts traffic on it as metered, as it does for a phone's hotspot that
    // announces itself or a network the user marked so.
    bool metered = false;

    bool operator==(const NetworkInterface&) const = default;
};

// The computer's network links and their changes.
class NetworkLinks {
  public:
    virtual ~NetworkLinks() = default;
    // Calls `onChange` on the main queue whenever an interface appears, goes or changes its
    // addresses, until the connection is dropped. Nothing when the network configuration
    // cannot be watched here.
    [[nodiscard]] virtual std::optional<Connection> watch(std::function<void()> onChange) = 0;
    // The interfaces now, in the system's order; nothing when the list is unavailable.
    virtual std::optional<std::vector<NetworkInterface>> interfaces() const = 0;
};

// Where the network configuration cannot be watched: tether detection stays off.
class NullNetworkLinks final : public NetworkLinks {
  public:
    std::optional<Connection> watch(std::function<void()>) override { return std::nullopt; }
    std::optional<std::vector<NetworkInterface>> interfaces() const override {
        return std::nullopt;
    }
};

}  // namespace ambleguard
