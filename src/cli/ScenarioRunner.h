#pragma once

#include "app/Application.h"
#include "base/Log.h"
#include "cli/Scenario.h"
#include "cli/Transcript.h"
#include "platform/Console.h"
#include "platform/sim/SimPlatform.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ambleguard::cli {

// What a run amounted to, counted as it happened.
struct SimulationSummary {
    int departures = 0;
    int returns = 0;
    int screenLocks = 0;  // the lock screen came up, by the program or the user
    int screenSaverStarts = 0;
    std::vector<std::string> shortcutsRun;  // names, in order
    int soundsPlayed = 0;
    int notifications = 0;
};

// Runs a scenario: the program composed exactly as it runs for real, on the simulated
// platform, launched and left to itself while the scenario's events happen around it, in
// virtual time as fast as the machine allows. Everything it logs, prints and does goes to the
// transcript sink with its time.
class ScenarioRunner {
  public:
    // Chooses the application shell the program is given, once the platform is built; the
    // simulated platform's own shell when it returns nothing (the demo gives the real user
    // interface instead).
    using ShellChoice = std::function<AppShell*(sim::SimPlatform&)>;

    ScenarioRunner(const Scenario& scenario, TranscriptSink& sink, const ShellChoice& shell = {});
    ScenarioRunner(const ScenarioRunner&) = delete;
    ScenarioRunner& operator=(const ScenarioRunner&) = delete;

    // Launches the program and runs to the end of the scenario.
    void run();

    // The same in steps, for tests that look in between: launch() once, then runUntil() with
    // times (seconds from the start) that never go back; both stop at the scenario's end.
    void launch();
    void runUntil(double t);

    // Seconds since the start.
    double now() const;
    double duration() const { return duration_; }
    const SimulationSummary& summary() const { return summary_; }

  private:
    // Turns the program's log lines and standard-output texts into transcript entries.
    class Output final : public LogSink, public ConsoleOutput {
      public:
        Output(ScenarioRunner& runner, TranscriptSink& sink) : runner_(runner), sink_(sink) {}
        void write(const LogRecord& record) override;
        bool accepts(LogLevel level) const override;
        void writeLine(std::string_view text) override;

      private:
        ScenarioRunner& runner_;
        TranscriptSink& sink_;
    };

    void emit(TranscriptEntry entry);
    void action(std::string name, std::string text,
                std::vector<std::pair<std::string, std::string>> fields = {});
    void observePlatform();
    void schedule(const ScenarioEvent& event);
    void happen(const ScenarioEvent& event);
    void input(const UserInput& input);
    void keepTyping(const UserInput& busy);

    TranscriptSink& sink_;
    Output output_;
    Instant start_;
    double duration_;
    std::vector<ScenarioEvent> events_;
    SimulationSummary summary_;
    bool launched_ = false;

  public:
    // Declared in construction order.
    sim::SimPlatform platform;
    Application app;

  private:
    std::vector<Connection> observers_;
};

}  // namespace ambleguard::cli
