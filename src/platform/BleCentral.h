#pragma once

#include "base/Executor.h"
#include "base/Uuid.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard {

// The Bluetooth stack's readiness as a central sees it. The numbers appear in log lines.
enum class BleManagerState {
    unknown = 0,
    resetting = 1,
    unsupported = 2,
    unauthorized = 3,
    poweredOff = 4,
    poweredOn = 5,
};

// Whether this program may use Bluetooth at all (asked of the platform, not of a central).
enum class BleAuthorization {
    notDetermined = 0,
    restricted = 1,
    denied = 2,
    allowedAlways = 3,
};

// The state of this program's link to a peripheral.
enum class PeripheralConnectionState {
    disconnected = 0,
    connecting = 1,
    connected = 2,
    disconnecting = 3,
};

inline int rawValue(BleManagerState state) {
    return static_cast<int>(state);
}
inline int rawValue(BleAuthorization authorization) {
    return static_cast<int>(authorization);
}

// A remote device as the stack reports it. Objects are shared: the discovery tables, the
// published device list and the connection feed hold the same peripheral. Its identifier never
// changes; its name and connection state may.
class Peripheral {
  public:
    virtual ~Peripheral() = default;
    virtual Uuid identifier() const = 0;
    // The device's name when the stack knows one.
    virtual std::optional<std::string> name() const = 0;
    virtual PeripheralConnectionState state() const = 0;
    // Whether this computer is paired (bonded) with the device. Only then does the stack resolve
    // a device's changing private addresses to one identifier.
    virtual bool isPaired() const { return false; }
    // Whether the device advertises from a random address, which changes every few minutes
    // unless the device is paired.
    virtual bool usesRandomAddress() const { return false; }
};

using PeripheralRef = std::shared_ptr<const Peripheral>;

// The names under which advertisement fields are reported in `AdvertisementData::keys`.
namespace advertisementKeys {
inline constexpr std::string_view manufacturerData = "ManufacturerData";
inline constexpr std::string_view serviceUUIDs = "ServiceUUIDs";
inline constexpr std::string_view localName = "LocalName";
inline constexpr std::string_view txPowerLevel = "TxPowerLevel";
inline constexpr std::string_view isConnectable = "IsConnectable";
inline constexpr std::string_view serviceData = "ServiceData";
}  // namespace advertisementKeys

// One advertisement's content, as far as the program reads it. Every field comes from outside
// and may hold anything: any length of manufacturer data, any service texts, any keys.
struct AdvertisementData {
    // The manufacturer-specific data value (company identifier first, little-endian).
    std::optional<std::vector<std::uint8_t>> manufacturerData;
    // Advertised service UUIDs in their text form (short forms such as "180F" included).
    std::optional<std::vector<std::string>> serviceUUIDs;
    // The keys present in the advertisement, in no particular order.
    std::vector<std::string> keys;
};

// What the platform hands back when it relaunches the program with a central it had kept.
struct BleRestoredState {
    std::optional<std::vector<PeripheralRef>> peripherals;
    std::optional<std::vector<std::string>> scanServices;
    std::optional<std::map<std::string, std::string>> scanOptions;
};

struct BleCentralOptions {
    // Ask the platform to tell the user when Bluetooth is off.
    bool showPowerAlert = false;
    // Lets the platform keep this central's work across relaunches and hand it back.
    std::optional<std::string> restoreIdentifier;
};

// Receives a central's callbacks, always on the executor given when the central was created.
// The delegate must outlive the central.
class BleCentralDelegate {
  public:
    virtual ~BleCentralDelegate() = default;
    virtual void centralDidUpdateState(BleManagerState state) = 0;
    // Delivered before the first state update when the platform restores this central.
    virtual void centralWillRestoreState(const BleRestoredState& restored) = 0;
    virtual void centralDidDiscover(const PeripheralRef& peripheral,
                                    const AdvertisementData& advertisement, int rssi) = 0;
    virtual void centralDidConnect(const PeripheralRef& peripheral) = 0;
    // `error` describes the failure when the platform gives a reason.
    virtual void centralDidFailToConnect(const PeripheralRef& peripheral,
                                         const std::optional<std::string>& error) = 0;
    // `error` is absent when the disconnection was asked for.
    virtual void centralDidDisconnect(const PeripheralRef& peripheral,
                                      const std::optional<std::string>& error) = 0;
    // `rssi` is meaningful only when `error` is absent.
    virtual void peripheralDidReadRSSI(const PeripheralRef& peripheral, int rssi,
                                       const std::optional<std::string>& error) = 0;
};

// One central role session. Destroying it stops its scan, cancels its connections and ends its
// callbacks: nothing is delivered to the delegate once the destructor has returned.
class BleCentral {
  public:
    virtual ~BleCentral() = default;

    // `unknown` until the platform has told this central its state for the first time.
    virtual BleManagerState state() const = 0;

    // Scans for every advertising device (no service filter). Without `allowDuplicates` the
    // platform reports a device once and then only sparingly. Ignored unless powered on.
    virtual void scanForPeripherals(bool allowDuplicates) = 0;
    virtual void stopScan() = 0;

    // The peripherals the platform knows under these identifiers (possibly none).
    virtual std::vector<PeripheralRef> retrievePeripherals(
        const std::vector<Uuid>& identifiers) = 0;
    // Starts a connection; it never times out on its own.
    virtual void connect(const PeripheralRef& peripheral) = 0;
    virtual void cancelPeripheralConnection(const PeripheralRef& peripheral) = 0;
    // Asks for the link's RSSI; the answer arrives through peripheralDidReadRSSI.
    virtual void readRSSI(const PeripheralRef& peripheral) = 0;
    // False when this stack can open links but not read their RSSI (the link reader is missing
    // or not permitted); links are then of no use for presence.
    virtual bool canReadLinkRSSI() const { return true; }
};

// The platform's Bluetooth central role: its class-level authorization and the creation of
// central sessions.
class BleCentralPort {
  public:
    virtual ~BleCentralPort() = default;
    virtual BleAuthorization authorization() const = 0;
    // Callbacks of the new central run on `callbackExecutor`, which must outlive it.
    virtual std::unique_ptr<BleCentral> createCentral(BleCentralDelegate& delegate,
                                                      Executor& callbackExecutor,
                                                      const BleCentralOptions& options) = 0;
};

}  // namespace ambleguard
