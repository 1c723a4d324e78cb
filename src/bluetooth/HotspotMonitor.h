#pragma once

#include "base/Log.h"
#include "base/Signal.h"
#include "platform/NetworkLinks.h"

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace ambleguard {

// Watches the computer's network links for a tether to a phone, which may disturb Bluetooth
// monitoring: a Bluetooth PAN link, or the phone's Wi-Fi hotspot (recognised by the address
// range phones hand out). Tells its owner whenever the kind of tether changes.
class HotspotMonitor final {
  public:
    enum class Kind { bluetoothPAN, wifiHotspot };
    static constexpr std::string_view toString(Kind kind) {
        return kind == Kind::bluetoothPAN ? "Bluetooth PAN" : "Wi-Fi Instant Hotspot";
    }
    static constexpr std::string_view kHotspotPrefix = "172.20.10.";

    HotspotMonitor(NetworkLinks& links, LogSink& logSink);
    HotspotMonitor(const HotspotMonitor&) = delete;
    HotspotMonitor& operator=(const HotspotMonitor&) = delete;

    // Told of every change, with the new kind or nothing when the tether ended (main queue).
    std::function<void(std::optional<Kind>)> onChange;

    // Subscribes to link changes and evaluates once; later calls do nothing.
    void start();
    // The tether the interfaces show now.
    std::optional<Kind> detectHotspot() const;
    void evaluateHotspot();
    std::optional<Kind> activeKind() const { return activeKind_; }

    // The classification on its own: a Bluetooth link with an address wins wherever it stands.
    static std::optional<Kind> classify(const std::vector<NetworkInterface>& interfaces);

  private:
    NetworkLinks& links_;
    Logger log_;
    std::optional<Kind> activeKind_;
    std::optional<Connection> watch_;
    bool started_ = false;
};

}  // namespace ambleguard
