#include "bluetooth/HotspotMonitor.h"

#include <algorithm>
#include <cctype>

namespace ambleguard {

namespace {

bool containsBluetooth(std::string_view name) {
    constexpr std::string_view word = "bluetooth";
    const auto found = std::search(
        name.begin(), name.end(), word.begin(), word.end(),
        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    return found != name.end();
}

}  // namespace

HotspotMonitor::HotspotMonitor(NetworkLinks& links, LogSink& logSink)
    : links_(links), log_(logSink, "Hotspot") {}

void HotspotMonitor::start() {
    if (started_) {
        return;
    }
    started_ = true;
    watch_ = links_.watch([this] { evaluateHotspot(); });
    if (!watch_) {
        log_.error("Network link watch failed, hotspot detection off");
        return;
    }
    evaluateHotspot();
}

std::optional<HotspotMonitor::Kind> HotspotMonitor::classify(
    const std::vector<NetworkInterface>& interfaces) {
    std::optional<Kind> result;
    for (const NetworkInterface& interface : interfaces) {
        if (!interface.name) {
            continue;
        }
        const auto& addresses = interface.ipv4Addresses;
        if (interface.wifi) {
            // A Wi-Fi interface is never taken for a Bluetooth link, whatever its name. A phone
            // serving it shows in its subnet (the one phones of one maker always use) or in
            // the metered mark the system gives a phone's hotspot.
            if (interface.metered ||
                std::any_of(addresses.begin(), addresses.end(), [](const std::string& address) {
                    return address.starts_with(kHotspotPrefix);
                })) {
                result = Kind::wifiHotspot;
            }
            continue;
        }
        if (containsBluetooth(interface.displayName) && !addresses.empty()) {
            return Kind::bluetoothPAN;
        }
    }
    return result;
}

std::optional<HotspotMonitor::Kind> HotspotMonitor::detectHotspot() const {
    if (!watch_) {
        return std::nullopt;
    }
    const auto interfaces = links_.interfaces();
    if (!interfaces || interfaces->empty()) {
        return std::nullopt;
    }
    return classify(*interfaces);
}

void HotspotMonitor::evaluateHotspot() {
    const std::optional<Kind> kind = detectHotspot();
    if (kind == activeKind_) {
        return;
    }
    activeKind_ = kind;
    if (kind) {
        log_.info("Hotspot link detected: {}", toString(*kind));
    } else {
        log_.info("Hotspot link ended");
    }
    if (onChange) {
        onChange(kind);
    }
}

}  // namespace ambleguard
