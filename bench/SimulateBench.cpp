// `ambleguard simulate` of the day-long scenario (a phone advertising five times a second for 24
// hours, five departures and returns), in process: loading, composing, launching and running
// the whole program, with the transcript discarded or formatted as JSON lines.

#include "cli/ScenarioLoader.h"
#include "cli/ScenarioRunner.h"
#include "cli/TranscriptPrinter.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

namespace {

using namespace ambleguard;

std::string dayScenario() {
    std::ifstream in(AMBLEGUARD_DAY_SCENARIO);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Formats every entry as --json would, without writing it anywhere.
class JsonFormatting final : public cli::TranscriptSink {
  public:
    explicit JsonFormatting(std::optional<LogLevel> level) : level_(level) {}
    void entry(const cli::TranscriptEntry& entry) override {
        bytes += cli::TranscriptPrinter::jsonLine(entry).size() + 1;
    }
    bool wantsLog(LogLevel level) const override { return level_ && level >= *level_; }
    std::size_t bytes = 0;

  private:
    std::optional<LogLevel> level_;
};

void runDay(benchmark::State& state, std::optional<LogLevel> level) {
    const auto parsed = cli::parseScenario(dayScenario());
    if (!parsed) {
        state.SkipWithError("day.json does not load");
        return;
    }
    const auto& scenario = parsed.value();
    for (auto _ : state) {
        JsonFormatting sink(level);
        cli::ScenarioRunner runner(scenario, sink);
        runner.run();
        if (runner.summary().departures != 5) {
            state.SkipWithError("the day did not go as written");
        }
        benchmark::DoNotOptimize(sink.bytes);
        state.counters["output_MB"] = static_cast<double>(sink.bytes) / 1e6;
    }
}

// As `simulate --summary`.
void BM_DayNoOutput(benchmark::State& state) {
    runDay(state, std::nullopt);
}
// As `simulate --json` (info and above).
void BM_DayJsonInfo(benchmark::State& state) {
    runDay(state, LogLevel::info);
}
// As `simulate --json --level debug`: every line of the program.
void BM_DayJsonDebug(benchmark::State& state) {
    runDay(state, LogLevel::debug);
}

BENCHMARK(BM_DayNoOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DayJsonInfo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DayJsonDebug)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
