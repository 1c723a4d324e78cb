// Feeds arbitrary advertisements through frame parsing, labels, the Apple test, display-name
// ordering and the whole discovery path, with the tracked device and filters chosen by the input.

#include "base/Log.h"
#include "bluetooth/AltBeacon.h"
#include "bluetooth/DeviceDiscovery.h"
#include "bluetooth/DisplayNameOrder.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimPeripheral.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ambleguard;

class CountingReadings final : public ReadingSink {
  public:
    void processRSSI(int) override { ++values; }
    void recordRSSIFailure(std::string_view) override { ++failures; }
    int values = 0;
    int failures = 0;
};

class IgnoringConnections final : public ConnectionAttempts {
  public:
    void attemptConnection(std::string_view) override {}
    void tearDownConnectionFeed(std::string_view, bool) override {}
    void setOnboardingCalibrationConnectAllowed(bool) override {}
};

class IgnoringResets final : public SignalStateResets {
  public:
    void shortReset() override {}
    void fullReset() override {}
    void dropFilter() override {}
};

// Formats every line, as a real sink would, and drops it.
class FormattingSink final : public LogSink {
  public:
    void write(const LogRecord& record) override { total += record.text.size(); }
    std::size_t total = 0;
};

std::vector<std::uint8_t> bytes(FuzzedDataProvider& input, std::size_t maxLength) {
    const std::string raw = input.ConsumeRandomLengthString(maxLength);
    return {raw.begin(), raw.end()};
}

// A beacon frame that the tracked identity can name, so the rotation path is reachable.
std::vector<std::uint8_t> knownBeacon() {
    std::vector<std::uint8_t> data{0x18, 0x01, 0xBE, 0xAC};
    for (std::uint8_t i = 0; i < 22; ++i) {
        data.push_back(i);
    }
    return data;
}

// Raw bytes most of the time, but often with a beacon or Apple header in front, which random
// bytes would hardly ever produce.
std::vector<std::uint8_t> manufacturerData(FuzzedDataProvider& input) {
    std::vector<std::uint8_t> data;
    switch (input.ConsumeIntegralInRange(0, 3)) {
        case 1:
            data = {input.ConsumeIntegral<std::uint8_t>(), input.ConsumeIntegral<std::uint8_t>(),
                    0xBE, 0xAC};
            break;
        case 2:
            data = knownBeacon();
            break;
        case 3:
            data = {0x4C, 0x00};
            break;
        default:
            break;
    }
    const auto tail = bytes(input, 512);
    data.insert(data.end(), tail.begin(), tail.end());
    return data;
}

AdvertisementData advertisement(FuzzedDataProvider& input) {
    AdvertisementData data;
    if (input.ConsumeBool()) {
        data.manufacturerData = manufacturerData(input);
    }
    if (input.ConsumeBool()) {
        data.serviceUUIDs.emplace();
        const int count = input.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < count; ++i) {
            data.serviceUUIDs->push_back(input.ConsumeRandomLengthString(48));
        }
    }
    const int keys = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < keys; ++i) {
        data.keys.push_back(input.ConsumeRandomLengthString(32));
    }
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);

    sim::SimClock clock;
    sim::SimMainLoop loop(clock);
    sim::SimExecutor peripheralQueue(loop);
    sim::MemorySettings persistence;
    FormattingSink log;
    SettingsStore settings(persistence, log);
    CountingReadings readings;
    IgnoringConnections connections;
    IgnoringResets resets;

    const Uuid identifiers[] = {Uuid::fromHalves(1, 1), Uuid::fromHalves(2, 2),
                                Uuid::fromHalves(3, 3), Uuid::fromHalves(4, 4)};
    settings.setBool(keys::showOnlyAppleDevices, input.ConsumeBool());
    settings.setBool(keys::disableConnectedPrimary, input.ConsumeBool());
    if (input.ConsumeBool()) {
        settings.setString(keys::checkedPeripheralUUID,
                           identifiers[input.ConsumeIntegralInRange(0, 3)].toString());
    }
    if (input.ConsumeBool()) {
        settings.setString(keys::checkedBeaconIdentity,
                           input.ConsumeBool() ? parseBeaconFrame(knownBeacon())->identityKey
                                               : input.ConsumeRandomLengthString(64));
    }

    DeviceDiscovery discovery(clock, loop, peripheralQueue, settings, log, readings, connections,
                              resets);
    std::vector<PeripheralRef> seen;
    while (input.remaining_bytes() > 0) {
        const Uuid identifier = identifiers[input.ConsumeIntegralInRange(0, 3)];
        std::optional<std::string> name;
        if (input.ConsumeBool()) {
            name = input.ConsumeRandomLengthString(96);
            (void)displayNameSortKey(*name);
        }
        const AdvertisementData sent = advertisement(input);
        if (sent.manufacturerData) {
            if (const auto frame = parseBeaconFrame(*sent.manufacturerData)) {
                (void)beaconLabel(*frame);
            }
        }
        (void)isAppleAdvertisement(sent);

        auto peripheral = std::make_shared<sim::SimPeripheral>(identifier, name);
        seen.push_back(peripheral);
        discovery.handleDiscovery(peripheral, sent, input.ConsumeIntegral<int>());
        loop.advanceBy(input.ConsumeIntegralInRange(0, 40));
        if (input.ConsumeBool()) {
            (void)discovery.resolvedName(*peripheral);
            (void)discovery.beaconIdentity(*peripheral);
        }
    }
    loop.advanceBy(120);
    return 0;
}
