#include "bluetooth/DeviceDiscovery.h"

#include "bluetooth/DisplayNameOrder.h"
#include "settings/SettingsKeys.h"

#include <fmt/format.h>

#include <algorithm>
#include <string_view>
#include <utility>

namespace ambleguard {
namespace {

constexpr std::string_view kInvalidRSSIReason = "Invalid peripheral RSSI";
constexpr int kInvalidRSSI = 127;
constexpr std::size_t kManufacturerPrefixLength = 6;

std::optional<Uuid> parseStoredIdentifier(const SettingsStore& settings) {
    const auto text = settings.stringForKey(keys::checkedPeripheralUUID);
    return text ? Uuid::parse(*text) : std::nullopt;
}

std::string textOr(const std::optional<Uuid>& identifier, std::string_view fallback) {
    return identifier ? identifier->toString() : std::string(fallback);
}

std::string textOr(const std::optional<std::string>& text, std::string_view fallback) {
    return text ? *text : std::string(fallback);
}

std::string joinedSortedKeys(std::vector<std::string> keys) {
    std::sort(keys.begin(), keys.end());
    return fmt::format("{}", fmt::join(keys, ","));
}

std::string manufacturerPrefixText(const std::optional<std::vector<std::uint8_t>>& prefix) {
    if (!prefix) {
        return "none";
    }
    std::string text;
    for (const std::uint8_t byte : *prefix) {
        text += fmt::format("{:02x}", byte);
    }
    return text;
}

}  // namespace

DeviceDiscovery::DeviceDiscovery(const Clock& clock, MainQueue& mainQueue,
                                 SerialExecutor& peripheralQueue, SettingsStore& settings,
                                 LogSink& logSink, ReadingSink& readings,
                                 ConnectionAttempts& connections, SignalStateResets& resets)
    : clock_(clock),
      mainQueue_(mainQueue),
      peripheralQueue_(peripheralQueue),
      settings_(settings),
      log_(logSink, "BT"),
      readings_(readings),
      connections_(connections),
      resets_(resets),
      showOnlyAppleDevices_(settings, bound::showOnlyAppleDevices),
      enableDeviceExpiration_(settings, bound::enableDeviceExpiration),
      deviceExpirationTime_(settings, bound::deviceExpirationTime) {
    startExpirationTimer();
    selection_.setIdentifier(parseStoredIdentifier(settings_));
    selection_.setBeaconIdentity(settings_.stringForKey(keys::checkedBeaconIdentity));
    capturedDetectionMode_ = BoundSetting<std::string>(settings_, bound::detectionMode).get();
    settingsObserver_ = settings_.onChange(liveness_.guarded([this] { reconcileSelection(); }));
}

DeviceDiscovery::~DeviceDiscovery() {
    // Work already queued on the peripheral queue must not start once this object is going,
    // and none may be half way through: invalidate its token there, after what is running.
    peripheralQueue_.runSync([this] { peripheralLiveness_.invalidate(); });
}

void DeviceDiscovery::startExpirationTimer() {
    expirationTimer_ = mainQueue_.scheduleRepeating(kExpirationInterval, 0.0,
                                                    liveness_.guarded([this] { expireDevices(); }));
}

void DeviceDiscovery::passReading(int rssi) {
    if (rssi == kInvalidRSSI) {
        readings_.recordRSSIFailure(kInvalidRSSIReason);
    } else {
        readings_.processRSSI(rssi);
    }
}

void DeviceDiscovery::handleDiscovery(const PeripheralRef& peripheral,
                                      const AdvertisementData& advertisement, int rssi) {
    if (!peripheral) {
        return;
    }
    const Uuid identifier = peripheral->identifier();
    const TrackedSelection::Snapshot tracked = selection_.snapshot();
    std::optional<std::string> name = peripheral->name();

    if (tracked.identifier == identifier) {
        if (rssi == kInvalidRSSI) {
            log_.debug("Invalid RSSI (127) received for tracked device");
        }
        passReading(rssi);
        const auto frame = parseBeaconFrame(advertisement);
        if (frame && !tracked.beaconIdentity) {
            mainQueue_.post(liveness_.guarded([this, identifier, key = frame->identityKey] {
                backfillBeaconIdentity(identifier, key);
            }));
        }
        if (name || frame) {
            std::optional<std::string> label;
            std::optional<std::string> key;
            if (frame) {
                label = beaconLabel(*frame);
                key = frame->identityKey;
            }
            peripheralQueue_.post(peripheralLiveness_.guarded(
                [this, peripheral, label = std::move(label), key = std::move(key)]() mutable {
                    recordTrackedDevice(peripheral, std::move(label), std::move(key));
                }));
        }
        if (!settings_.boolForKey(keys::disableConnectedPrimary) && !tracked.beaconIdentity) {
            mainQueue_.post(
                liveness_.guarded([this] { connections_.attemptConnection("discovery"); }));
        }
        return;
    }

    std::optional<AltBeaconFrame> frame;
    if (tracked.beaconIdentity) {
        frame = parseBeaconFrame(advertisement);
        if (frame && frame->identityKey == *tracked.beaconIdentity) {
            log_.info("Tracked beacon rotated address, re-adopting with new identifier {}",
                      identifier.toString());
            mainQueue_.post(liveness_.guarded([this, identifier, key = frame->identityKey] {
                readoptRotatedBeacon(identifier, key);
            }));
            passReading(rssi);
            peripheralQueue_.post(peripheralLiveness_.guarded(
                [this, peripheral, label = beaconLabel(*frame), key = frame->identityKey] {
                    recordTrackedDevice(peripheral, label, key);
                }));
            return;
        }
    }

    if (showOnlyAppleDevices_.get() && !isAppleAdvertisement(advertisement)) {
        return;
    }
    if (!tracked.beaconIdentity) {
        frame = parseBeaconFrame(advertisement);
    }
    if (!name && !frame) {
        return;
    }

    Sighting sighting;
    sighting.peripheral = peripheral;
    sighting.name = std::move(name);
    if (frame) {
        sighting.label = beaconLabel(*frame);
        sighting.identityKey = frame->identityKey;
    }
    sighting.keys = advertisement.keys;
    sighting.services = advertisement.serviceUUIDs;
    if (advertisement.manufacturerData) {
        const auto& data = *advertisement.manufacturerData;
        sighting.manufacturerPrefix.emplace(
            data.begin(), data.begin() + static_cast<std::ptrdiff_t>(
                                             std::min(data.size(), kManufacturerPrefixLength)));
    }
    peripheralQueue_.post(peripheralLiveness_.guarded(
        [this, sighting = std::move(sighting)] { recordNamedDevice(sighting); }));
}

void DeviceDiscovery::recordNamedDevice(const Sighting& sighting) {
    const Uuid identifier = sighting.peripheral->identifier();
    const bool isNew = !discoveredPeripherals_.contains(identifier);
    if (isNew && sighting.name) {
        const std::string services =
            sighting.services ? fmt::format("{}", fmt::join(*sighting.services, ",")) : "none";
        log_.info("New named device: {} ({}) advKeys=[{}] services=[{}] mfg={}", *sighting.name,
                  identifier.toString(), joinedSortedKeys(sighting.keys), services,
                  manufacturerPrefixText(sighting.manufacturerPrefix));
    }
    if (!sighting.name && sighting.label) {
        resolvedNames_[identifier] = *sighting.label;
    }
    bool droppedOlderAddress = false;
    if (sighting.identityKey) {
        // A beacon seen at a new address: its older addresses leave the list at once, except
        // the tracked one, which the re-adoption on the main queue takes care of.
        const std::optional<Uuid> tracked = selection_.identifier();
        for (const auto& [other, key] : beaconIdentities_) {
            if (other != identifier && other != tracked && key == *sighting.identityKey) {
                droppedOlderAddress |= discoveredPeripherals_.erase(other) > 0;
            }
        }
        beaconIdentities_[identifier] = *sighting.identityKey;
    }
    discoveredPeripherals_[identifier] = TrackedDevice{sighting.peripheral, clock_.now()};
    if (isNew || droppedOlderAddress) {
        publishFromQueue();
    }
}

void DeviceDiscovery::recordTrackedDevice(const PeripheralRef& peripheral,
                                          std::optional<std::string> label,
                                          std::optional<std::string> identityKey) {
    const Uuid identifier = peripheral->identifier();
    if (!peripheral->name() && label) {
        resolvedNames_[identifier] = std::move(*label);
    }
    if (identityKey) {
        beaconIdentities_[identifier] = std::move(*identityKey);
    }
    discoveredPeripherals_[identifier] = TrackedDevice{peripheral, clock_.now()};
    publishFromQueue();
}

void DeviceDiscovery::publishDeviceList() {
    peripheralQueue_.post(peripheralLiveness_.guarded([this] { publishFromQueue(); }));
}

void DeviceDiscovery::publishFromQueue() {
    struct Entry {
        bool paired;
        std::u32string key;
        PeripheralRef peripheral;
    };
    std::vector<Entry> entries;
    entries.reserve(discoveredPeripherals_.size());
    for (const auto& [identifier, device] : discoveredPeripherals_) {
        std::string name;
        if (auto own = device.peripheral->name()) {
            name = std::move(*own);
        } else if (auto found = resolvedNames_.find(identifier); found != resolvedNames_.end()) {
            name = found->second;
        }
        entries.push_back(
            Entry{device.peripheral->isPaired(), displayNameSortKey(name), device.peripheral});
    }
    // Paired devices first: only they keep one identifier across address changes. Equal names
    // are ordered by identifier so the list does not shuffle between publications.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.paired != b.paired) {
            return a.paired;
        }
        if (a.key != b.key) {
            return a.key < b.key;
        }
        return a.peripheral->identifier() < b.peripheral->identifier();
    });
    std::vector<PeripheralRef> list;
    list.reserve(entries.size());
    for (auto& entry : entries) {
        list.push_back(std::move(entry.peripheral));
    }
    mainQueue_.post(liveness_.guarded(
        [this, list = std::move(list)]() mutable { assignPeripherals(std::move(list)); }));
}

void DeviceDiscovery::assignPeripherals(std::vector<PeripheralRef> list) {
    peripherals_ = std::move(list);
    peripheralsChanged_.emit(peripherals_);
}

void DeviceDiscovery::clearDiscoveredDevices() {
    peripheralQueue_.post(peripheralLiveness_.guarded([this] {
        discoveredPeripherals_.clear();
        resolvedNames_.clear();
        beaconIdentities_.clear();
        mainQueue_.post(liveness_.guarded([this] { assignPeripherals({}); }));
    }));
}

void DeviceDiscovery::restorePeripherals(std::vector<PeripheralRef> peripherals) {
    peripheralQueue_.post(peripheralLiveness_.guarded([this, peripherals = std::move(peripherals)] {
        const Instant now = clock_.now();
        for (const auto& peripheral : peripherals) {
            if (peripheral) {
                discoveredPeripherals_[peripheral->identifier()] = TrackedDevice{peripheral, now};
            }
        }
        publishFromQueue();
    }));
}

void DeviceDiscovery::forget(const Uuid& identifier) {
    discoveredPeripherals_.erase(identifier);
    resolvedNames_.erase(identifier);
    beaconIdentities_.erase(identifier);
}

void DeviceDiscovery::expireDevices() {
    if (!enableDeviceExpiration_.get()) {
        return;
    }
    const Instant now = clock_.now();
    const double limit = deviceExpirationTime_.get();
    const std::optional<Uuid> tracked = selection_.identifier();
    int removed = 0;
    peripheralQueue_.runSync([&] {
        std::vector<Uuid> stale;
        for (const auto& [identifier, device] : discoveredPeripherals_) {
            if (identifier != tracked && secondsBetween(device.lastSeen, now) > limit) {
                stale.push_back(identifier);
            }
        }
        for (const Uuid& identifier : stale) {
            forget(identifier);
        }
        removed = static_cast<int>(stale.size());
        // Labels and identities of devices no longer listed (older beacon addresses) go too.
        const auto orphaned = [&](const auto& entry) {
            return entry.first != tracked && !discoveredPeripherals_.contains(entry.first);
        };
        std::erase_if(resolvedNames_, orphaned);
        std::erase_if(beaconIdentities_, orphaned);
    });
    if (removed > 0) {
        publishDeviceList();
        log_.debug("Removed {} expired devices", removed);
    }
}

void DeviceDiscovery::backfillBeaconIdentity(const Uuid& identifier,
                                             const std::string& identityKey) {
    const TrackedSelection::Snapshot tracked = selection_.snapshot();
    if (tracked.beaconIdentity || tracked.identifier != identifier) {
        return;
    }
    log_.info("Backfilling beacon identity for tracked device");
    selection_.setBeaconIdentity(identityKey);
    settings_.setString(keys::checkedBeaconIdentity, identityKey);
}

void DeviceDiscovery::readoptRotatedBeacon(const Uuid& identifier, const std::string& identityKey) {
    const TrackedSelection::Snapshot tracked = selection_.snapshot();
    if (tracked.identifier == identifier) {
        return;
    }
    if (tracked.beaconIdentity != identityKey) {
        return;
    }
    // The field changes before the setting, so the reconciliation that the write triggers finds
    // them equal and the reading state survives the address change.
    selection_.setIdentifier(identifier);
    settings_.setString(keys::checkedPeripheralUUID, identifier.toString());
    if (tracked.identifier) {
        peripheralQueue_.post(peripheralLiveness_.guarded([this, old = *tracked.identifier] {
            forget(old);
            publishFromQueue();
        }));
    }
}

void DeviceDiscovery::reconcileSelection() {
    const std::optional<Uuid> current = selection_.identifier();
    const std::optional<std::string> storedIdentifier =
        settings_.stringForKey(keys::checkedPeripheralUUID);
    if (!storedIdentifier) {
        if (current) {
            log_.info("Selection cleared (was {})", current->toString());
        }
        selection_.setIdentifier(std::nullopt);
        resets_.shortReset();
    } else {
        const std::optional<Uuid> parsed = Uuid::parse(*storedIdentifier);
        if (parsed != current) {
            log_.info("Selection changed: {} -> {} ({})", textOr(current, "none"),
                      textOr(parsed, "invalid"),
                      textOr(settings_.stringForKey(keys::checkedPeripheralName), "unnamed"));
            selection_.setIdentifier(parsed);
            resets_.fullReset();
        }
    }

    const std::optional<std::string> storedIdentity =
        settings_.stringForKey(keys::checkedBeaconIdentity);
    const std::optional<std::string> currentIdentity = selection_.beaconIdentity();
    if (storedIdentity != currentIdentity) {
        log_.info("Beacon identity changed: {} -> {}", textOr(currentIdentity, "none"),
                  textOr(storedIdentity, "none"));
        selection_.setBeaconIdentity(storedIdentity);
    }

    const std::string mode = settings_.stringForKey(keys::detectionMode).value_or("Balanced");
    if (mode != capturedDetectionMode_) {
        capturedDetectionMode_ = mode;
        resets_.dropFilter();
        log_.info("Detection mode changed to {}, resetting Kalman filter", mode);
    }
}

std::optional<std::string> DeviceDiscovery::resolvedName(const Peripheral& peripheral) {
    const Uuid identifier = peripheral.identifier();
    std::optional<std::string> result;
    peripheralQueue_.runSync([&] {
        if (auto found = resolvedNames_.find(identifier); found != resolvedNames_.end()) {
            result = found->second;
        }
    });
    return result;
}

std::optional<std::string> DeviceDiscovery::beaconIdentity(const Peripheral& peripheral) {
    const Uuid identifier = peripheral.identifier();
    std::optional<std::string> result;
    peripheralQueue_.runSync([&] {
        if (auto found = beaconIdentities_.find(identifier); found != beaconIdentities_.end()) {
            result = found->second;
        }
    });
    return result;
}

}  // namespace ambleguard
