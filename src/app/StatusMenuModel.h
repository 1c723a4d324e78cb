#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard {

// What the tray menu offers, built from the application's state: its entries in order with
// their titles, check marks and whether they can be chosen. The menu is rebuilt from this
// whenever its inputs change.
struct StatusMenuInputs {
    bool canScan = false;
    std::optional<std::string> checkedPeripheralName;
    bool launchAtLogin = false;
    bool showSignalStrength = false;
    // A build without a version service has no update entry.
    bool updatesEnabled = true;
    bool hasAvailableUpdate = false;
    std::string version;
};

enum class StatusMenuAction {
    separator,
    device,  // informational: the tracked device's name
    settings,
    monitoring,
    launchAtLogin,
    signalStrength,
    update,
    faq,
    quit,
    version,  // informational
};

struct StatusMenuEntry {
    StatusMenuAction action = StatusMenuAction::separator;
    std::string title;
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
};

std::vector<StatusMenuEntry> buildStatusMenu(const StatusMenuInputs& inputs);

// The tracked device's name as the menu shows it: cut after 25 characters.
std::string menuDeviceTitle(std::string_view name);

// The signal glyph's level, 0.0 to 1.0 in quarters, from the rounded average reading and the
// lock threshold: a full glyph 15 dB or more above the threshold, empty below it or with no
// reading (0).
double signalGlyphLevel(int averageRSSI, double averageMinRSSI);

}  // namespace ambleguard
