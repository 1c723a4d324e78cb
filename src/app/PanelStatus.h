#pragma once

#include "base/Time.h"

#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

// What the main panel's header says about the tracked device, from the values it polls: the
// presence indicator, the name line and the signal readout beside it.

enum class IndicatorColour { green, orange, red };

struct PresenceIndicator {
    IndicatorColour colour = IndicatorColour::red;
    std::string text;
};

// `storedPresence` is the persisted presence state's text; `averageRSSI` the panel's copy of
// the rounded average (-127: no reading).
PresenceIndicator presenceIndicator(std::string_view storedPresence, int averageRSSI,
                                    bool readingIsStale);

// The tracked device's name cut after 20 characters, or "No device selected".
std::string panelDeviceName(const std::optional<std::string>& name);

struct SignalReadoutLine {
    enum class Kind {
        none,     // no device selected: nothing beside the name
        warning,  // the warning symbol, with `tooltip`
        value,    // `text` in the secondary colour, with `tooltip` when stale
        message,  // `text`
    };
    Kind kind = Kind::none;
    std::string text;
    std::string tooltip;
};

SignalReadoutLine signalReadoutLine(bool deviceSelected, bool canScan, int averageRSSI,
                                    bool readingIsStale, bool initialSearch);

// A reading older than 30 s (or none at all) is stale for the header.
bool headerReadingIsStale(std::optional<Instant> lastReading, Instant now);

// The panel's height: full with the device list expanded; with it collapsed, shorter by the
// list's remembered height, limited to sensible bounds.
int mainPanelHeight(bool deviceListCollapsed, double expandedDeviceListHeight);

}  // namespace ambleguard
