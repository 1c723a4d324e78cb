// A day of a phone advertising five times a second, simulated through the world and discovery:
// the cost of long scenarios.

#include "bluetooth/DeviceDiscovery.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/SimBluetoothWorld.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <benchmark/benchmark.h>

namespace {

using namespace ambleguard;

class CountingReadings final : public ReadingSink {
  public:
    void processRSSI(int) override { ++count; }
    void recordRSSIFailure(std::string_view) override {}
    long count = 0;
};

class NoConnections final : public ConnectionAttempts {
  public:
    void attemptConnection(std::string_view) override {}
    void tearDownConnectionFeed(std::string_view, bool) override {}
    void setOnboardingCalibrationConnectAllowed(bool) override {}
};

class NoResets final : public SignalStateResets {
  public:
    void shortReset() override {}
    void fullReset() override {}
    void dropFilter() override {}
};

class Forward final : public BleCentralDelegate {
  public:
    explicit Forward(DeviceDiscovery& discovery) : discovery_(discovery) {}
    void centralDidUpdateState(BleManagerState) override {}
    void centralWillRestoreState(const BleRestoredState&) override {}
    void centralDidDiscover(const PeripheralRef& p, const AdvertisementData& a, int rssi) override {
        discovery_.handleDiscovery(p, a, rssi);
    }
    void centralDidConnect(const PeripheralRef&) override {}
    void centralDidFailToConnect(const PeripheralRef&, const std::optional<std::string>&) override {
    }
    void centralDidDisconnect(const PeripheralRef&, const std::optional<std::string>&) override {}
    void peripheralDidReadRSSI(const PeripheralRef&, int,
                               const std::optional<std::string>&) override {}

  private:
    DeviceDiscovery& discovery_;
};

void BM_DayOfAdvertisingThroughDiscovery(benchmark::State& state) {
    const Uuid phone = Uuid::fromHalves(1, 1);
    for (auto _ : state) {
        sim::SimClock clock;
        sim::SimMainLoop loop(clock);
        sim::SimExecutor bluetooth(loop);
        sim::SimExecutor peripherals(loop);
        sim::MemorySettings persistence;
        NullLogSink log;
        SettingsStore settings(persistence, log);
        settings.setString(keys::checkedPeripheralUUID, phone.toString());
        CountingReadings readings;
        NoConnections connections;
        NoResets resets;
        DeviceDiscovery discovery(clock, loop, peripherals, settings, log, readings, connections,
                                  resets);

        sim::SimBluetoothConfig config;
        sim::SimDeviceConfig device;
        device.identifier = phone;
        device.name = "Phone";
        device.advertisingInterval = 0.2;
        device.rssi = {{0, -55.0}, {43200, -80.0}, {86400, -55.0}};
        device.noiseSigma = 3.0;
        config.devices.push_back(device);
        sim::SimBluetoothWorld world(clock, loop, config);
        Forward forward(discovery);
        auto central = world.createCentral(forward, bluetooth, {});
        loop.runDue();
        central->scanForPeripherals(true);
        loop.advanceBy(86400);
        benchmark::DoNotOptimize(readings.count);
        state.counters["advertisements"] = static_cast<double>(readings.count);
    }
}
BENCHMARK(BM_DayOfAdvertisingThroughDiscovery)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
