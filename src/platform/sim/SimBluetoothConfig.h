#pragma once

#include "base/Uuid.h"
#include "platform/BleCentral.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ambleguard::sim {

// A simulated world of Bluetooth devices, as plain data so that a scenario file can fill it.
// Every time is in seconds after the world was created.

// One point of a device's signal timeline. From `at` until the next point the device is heard
// at `dbm` (moving linearly towards the next point's value when that point has one); without
// `dbm` it is out of range: silent and unreachable. With `advertising` false it is in range
// (links work, their RSSI follows the timeline) but sends no advertisements, like an idle phone.
struct SimRssiPoint {
    double at = 0;
    std::optional<double> dbm;
    bool advertising = true;
};

// From `at` on the device advertises under `identifier` (a fresh one drawn from the world's
// seed when absent), as a beacon with a private rotating address does.
struct SimAddressChange {
    double at = 0;
    std::optional<Uuid> identifier;
};

enum class SimConnectOutcome {
    succeed,        // connected `delay` seconds after the request, once the device is in range
    fail,           // the failure callback arrives after `delay`
    neverComplete,  // stays connecting until cancelled
};

struct SimConnectBehaviour {
    SimConnectOutcome outcome = SimConnectOutcome::succeed;
    double delay = 0.5;
    std::string failureError = "Connection failed";
    // Link RSSI reads answer after this many seconds; with `readError` they fail with it.
    double readDelay = 0.05;
    std::optional<std::string> readError;
    // A link lost out of range is reported this long after the device left.
    double supervisionTimeout = 2.0;
};

struct SimDeviceConfig {
    Uuid identifier;
    // The peripheral's name; nameless when absent.
    std::optional<std::string> name;
    // Whether the name is also sent in the advertisement (adds the local-name key).
    bool advertisesName = true;
    std::optional<std::vector<std::uint8_t>> manufacturerData;
    std::optional<std::vector<std::string>> serviceUUIDs;
    // Further advertisement keys to report (for example "IsConnectable").
    std::vector<std::string> extraAdvertisementKeys;

    double advertisingInterval = 0.2;
    // Advertisements go out at phase + k * interval.
    double advertisingPhase = 0;
    // Sorted by `at`. Before the first point the device is out of range.
    std::vector<SimRssiPoint> rssi;
    // Gaussian noise added to every reported value; the same seed gives the same values.
    double noiseSigma = 0;
    std::uint64_t noiseSeed = 1;
    std::vector<SimAddressChange> addressChanges;
    // A phone or watch advertising from a private address that changes every this many
    // seconds: unless `paired`, it appears under a fresh identifier at each change (the stack
    // cannot tell it is the same device); paired, the stack resolves every address to one
    // identifier. Its peripheral reports a random address either way.
    std::optional<double> privateAddressRotation;
    bool paired = false;

    SimConnectBehaviour connection;
    // Retrievable by identifier before it has ever been seen (a paired device).
    bool knownToSystem = false;
};

// The radio's own state (power, reset, missing hardware); authorization is separate.
struct SimRadioChange {
    double at = 0;
    BleManagerState state = BleManagerState::poweredOn;
};

struct SimAuthorizationChange {
    double at = 0;
    BleAuthorization authorization = BleAuthorization::allowedAlways;
};

struct SimRestoredPeripheral {
    Uuid identifier;
    // The link the platform kept alive across the relaunch.
    bool connected = false;
};

// Handed once to the first central created with a matching restore identifier.
struct SimRestoration {
    // Any restore identifier matches when empty.
    std::string restoreIdentifier;
    std::optional<std::vector<SimRestoredPeripheral>> peripherals;
    std::optional<std::vector<std::string>> scanServices;
    std::optional<std::map<std::string, std::string>> scanOptions;
};

struct SimBluetoothConfig {
    BleManagerState initialRadioState = BleManagerState::poweredOn;
    BleAuthorization initialAuthorization = BleAuthorization::allowedAlways;
    // How long a new central takes to learn its state.
    double stateDeterminationDelay = 0;
    // When authorization is not yet determined, creating a central asks the user; the answer
    // arrives after `promptDelay`. Without an answer the question stays open.
    std::optional<BleAuthorization> authorizationPromptAnswer;
    double promptDelay = 1.0;
    // Without the allow-duplicates option a device is reported once per scan, and again only
    // after this many seconds when set.
    std::optional<double> duplicateReportInterval;
    // Seeds the identifiers drawn for address changes that do not name one.
    std::uint64_t seed = 1;

    std::vector<SimDeviceConfig> devices;
    std::vector<SimRadioChange> radioChanges;
    std::vector<SimAuthorizationChange> authorizationChanges;
    std::optional<SimRestoration> restoration;
};

// Manufacturer data of a beacon frame: company (little-endian), 0xBE 0xAC, the 20-byte beacon
// identifier (its last four bytes are major and minor), reference RSSI and a reserved byte.
std::vector<std::uint8_t> altBeaconManufacturerData(std::uint16_t companyID,
                                                    const std::array<std::uint8_t, 20>& identifier,
                                                    std::int8_t referenceRssi = -59);

}  // namespace ambleguard::sim
