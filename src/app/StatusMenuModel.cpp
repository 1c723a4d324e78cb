#include "app/StatusMenuModel.h"

#include "app/TextCut.h"

namespace ambleguard {

namespace {

constexpr std::size_t kMenuNameLimit = 25;

void separator(std::vector<StatusMenuEntry>& entries) {
    entries.push_back({});
}

}  // namespace

std::string menuDeviceTitle(std::string_view name) {
    return cutWithEllipsis(name, kMenuNameLimit);
}

double signalGlyphLevel(int averageRSSI, double averageMinRSSI) {
    if (averageRSSI == 0) {
        return 0.0;
    }
    const double d = averageRSSI - averageMinRSSI;
    if (d >= 15) {
        return 1.0;
    }
    if (d >= 10) {
        return 0.75;
    }
    if (d >= 5) {
        return 0.5;
    }
    if (d >= 0) {
        return 0.25;
    }
    return 0.0;
}

std::vector<StatusMenuEntry> buildStatusMenu(const StatusMenuInputs& inputs) {
    using A = StatusMenuAction;
    std::vector<StatusMenuEntry> entries;
    if (inputs.checkedPeripheralName) {
        entries.push_back(
            {A::device, menuDeviceTitle(*inputs.checkedPeripheralName), false, false, false});
        separator(entries);
    }
    entries.push_back({A::settings, "Settings"});
    separator(entries);
    entries.push_back({A::monitoring, inputs.canScan ? "Enabled 🟢" : "Disabled 🔴", true, true,
                       inputs.canScan});
    separator(entries);
    entries.push_back({A::launchAtLogin, "Launch at Login", true, true, inputs.launchAtLogin});
    separator(entries);
    entries.push_back(
        {A::signalStrength, "Show Signal Strength", true, true, inputs.showSignalStrength});
    separator(entries);
    if (inputs.updatesEnabled) {
        entries.push_back(
            {A::update, inputs.hasAvailableUpdate ? "Update Available! ⬆️" : "Check for Updates"});
        separator(entries);
    }
    entries.push_back({A::faq, "FAQ"});
    separator(entries);
    entries.push_back({A::quit, "Quit"});
    separator(entries);
    entries.push_back({A::version, "Ambleguard " + inputs.version, false});
    return entries;
}

}  // namespace ambleguard
