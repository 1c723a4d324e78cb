// Costs of the presence detection per reading: the filter, the engine, and one reading
// through the whole pipeline as a replay runs it.

#include <benchmark/benchmark.h>

#include <random>

#include "cli/ReplayWorld.h"
#include "platform/sim/SimClock.h"
#include "presence/KalmanFilter.h"
#include "presence/PresenceEngine.h"

namespace ambleguard {
namespace {

// A phone on the desk: about -58 dBm with a few dB of noise, ten readings per second.
class DeskSignal {
  public:
    int next() { return static_cast<int>(std::lround(noise_(random_))); }

  private:
    std::mt19937 random_{7};
    std::normal_distribution<double> noise_{-58.0, 3.0};
};

void BM_KalmanFilterUpdate(benchmark::State& state) {
    DeskSignal signal;
    KalmanFilter filter(-58.0, DetectionMode::stable);
    Instant now = sim::SimClock::defaultStart();
    for (auto _ : state) {
        now = addSeconds(now, 0.1);
        benchmark::DoNotOptimize(filter.update(now, signal.next()));
    }
}
BENCHMARK(BM_KalmanFilterUpdate);

void BM_PresenceEngineEvaluate(benchmark::State& state) {
    DeskSignal signal;
    PresenceEngine engine;
    const PresenceThresholds thresholds;
    Instant now = sim::SimClock::defaultStart();
    for (auto _ : state) {
        now = addSeconds(now, 0.1);
        engine.ingest(signal.next(), now);
        benchmark::DoNotOptimize(engine.evaluate(now, thresholds));
    }
}
BENCHMARK(BM_PresenceEngineEvaluate);

// Validation, filter, display values, the hop to the main queue, the engine and publication,
// with the 1-second tick running alongside.
void BM_PipelineReading(benchmark::State& state) {
    DeskSignal signal;
    NullLogSink logSink;
    cli::ReplayWorld world(cli::ReplaySettings{}, 0.0, logSink);
    world.scanner.setupCentralManager();
    world.loop.runDue();
    for (auto _ : state) {
        world.loop.advanceBy(0.1);
        world.bluetoothQueue.post(
            [&world, rssi = signal.next()] { world.scanner.processRSSI(rssi); });
        world.loop.runDue();
    }
    state.counters["readout"] = world.readout.averageRSSI();
}
BENCHMARK(BM_PipelineReading);

}  // namespace
}  // namespace ambleguard
