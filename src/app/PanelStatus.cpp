#include "app/PanelStatus.h"

#include "app/TextCut.h"

#include <fmt/format.h>

#include <algorithm>

namespace ambleguard {

namespace {

constexpr int kLowestReading = -126;
constexpr double kHeaderStaleAfter = 30.0;
constexpr std::size_t kPanelNameLimit = 20;

}  // namespace

PresenceIndicator presenceIndicator(std::string_view storedPresence, int averageRSSI,
                                    bool readingIsStale) {
    const bool hasReading = averageRSSI >= kLowestReading;
    if (storedPresence == "Present" && hasReading && readingIsStale) {
        return {IndicatorColour::orange, "No signal; last reading is stale"};
    }
    if (storedPresence == "Present" && hasReading) {
        return {IndicatorColour::green, "Device in range"};
    }
    if (storedPresence == "Weak Signal") {
        return {IndicatorColour::red, "Device signal weak"};
    }
    if (storedPresence == "Absent") {
        return {IndicatorColour::red, "Device out of range"};
    }
    return {IndicatorColour::red, "No device selected"};
}

std::string panelDeviceName(const std::optional<std::string>& name) {
    if (!name) {
        return "No device selected";
    }
    return cutWithEllipsis(*name, kPanelNameLimit);
}

SignalReadoutLine signalReadoutLine(bool deviceSelected, bool canScan, int averageRSSI,
                                    bool readingIsStale, bool initialSearch) {
    using Kind = SignalReadoutLine::Kind;
    if (!deviceSelected) {
        return {};
    }
    if (averageRSSI >= kLowestReading) {
        if (!canScan) {
            return {Kind::warning, "", "Ambleguard is disabled."};
        }
        SignalReadoutLine line{Kind::value, fmt::format("{} dBm", averageRSSI), ""};
        if (readingIsStale) {
            line.tooltip = fmt::format("No recent signal; last reading was {} dBm", averageRSSI);
        }
        return line;
    }
    if (!canScan) {
        return {Kind::message, "Ambleguard is disabled.", ""};
    }
    return {Kind::message, initialSearch ? "Searching for device..." : "Device not in range", ""};
}

bool headerReadingIsStale(std::optional<Instant> lastReading, Instant now) {
    return !lastReading || secondsBetween(*lastReading, now) > kHeaderStaleAfter;
}

int mainPanelHeight(bool deviceListCollapsed, double expandedDeviceListHeight) {
    constexpr int kFull = 700;
    if (!deviceListCollapsed) {
        return kFull;
    }
    double h = std::min(expandedDeviceListHeight, 320.0);
    if (h <= 0) {
        h = 160;
    } else if (h <= 120) {
        h = 120;
    }
    return kFull - static_cast<int>(h);
}

}  // namespace ambleguard
