#include "app/DeviceSelection.h"

#include "settings/SettingsKeys.h"

namespace ambleguard {

DeviceSelection::Outcome DeviceSelection::select(const Peripheral& peripheral) {
    const auto beaconIdentity = discovery_.beaconIdentity(peripheral);
    if (beaconIdentity) {
        settings_.setString(keys::checkedBeaconIdentity, *beaconIdentity);
    } else {
        settings_.removeObject(keys::checkedBeaconIdentity);
    }
    std::string name = "Unknown";
    if (auto own = peripheral.name()) {
        name = *own;
    } else if (auto resolved = discovery_.resolvedName(peripheral)) {
        name = *resolved;
    }
    settings_.setString(keys::checkedPeripheralName, name);
    settings_.setString(keys::checkedPeripheralUUID, peripheral.identifier().toString());
    settings_.synchronize();

    Outcome outcome{name, trackingWarning(peripheral, name, beaconIdentity.has_value())};
    if (outcome.warning) {
        log_.notice("{}", *outcome.warning);
    }
    return outcome;
}

void DeviceSelection::clear(const Peripheral& peripheral) {
    if (settings_.stringForKey(keys::checkedPeripheralUUID) != peripheral.identifier().toString()) {
        return;
    }
    settings_.removeObject(keys::checkedBeaconIdentity);
    settings_.removeObject(keys::checkedPeripheralUUID);
    settings_.removeObject(keys::checkedPeripheralName);
    settings_.synchronize();
}

std::optional<std::string> DeviceSelection::trackingWarning(const Peripheral& peripheral,
                                                            const std::string& name,
                                                            bool hasBeaconIdentity) {
    if (peripheral.isPaired() || !peripheral.usesRandomAddress() || hasBeaconIdentity) {
        return std::nullopt;
    }
    return name +
           " is not paired with this computer. It advertises from a private address that "
           "changes every few minutes, so it would soon look like another device and be "
           "judged gone. Pair it with this computer first, then choose it again.";
}

}  // namespace ambleguard
