#include "cli/DemoCommand.h"

#include "base/TextEscaping.h"
#include "cli/ScenarioLoader.h"
#include "cli/ScenarioRunner.h"
#include "cli/SimulateCommand.h"
#include "cli/TranscriptPrinter.h"
#include "ui/PanelWindow.h"
#include "ui/QtAppShell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

namespace ambleguard::cli {

namespace {

constexpr double kMaxSpeed = 1000.0;
constexpr int kTickMs = 50;

void printDemoHelp(std::FILE* out) {
    fmt::print(out,
               "Usage: ambleguard demo [--speed X] [SCENARIO.json]\n"
               "\n"
               "Shows the real user interface (tray icon, panel, live signal graph, settings)\n"
               "on the simulated world of `ambleguard simulate`, with the scenario playing in\n"
               "real time, or X times faster. Nothing on this computer is locked, played or\n"
               "run, and your stored settings are neither read nor changed. The program's log\n"
               "lines are printed as they happen. Without SCENARIO.json it plays the built-in\n"
               "story. It needs a desktop session (or Xvfb); with no tray the panel opens as a\n"
               "window. Close the panel, choose Quit, or press Ctrl+C to end it.\n"
               "\n"
               "Options:\n"
               "  --speed X   play X times faster than real time (0.1 to 1000; default 1)\n"
               "\n"
               "Exit status: 0 done, 2 bad arguments or an unreadable or malformed scenario.\n");
}

int usageError(const Streams& io, const std::string& message) {
    fmt::print(io.err, "ambleguard demo: {}\n", printable(message));
    fmt::print(io.err, "Run `ambleguard demo --help` for the options.\n");
    return kExitUsage;
}

std::optional<double> parseSpeed(const std::string& text) {
    double value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value) || value < 0.1 ||
        value > kMaxSpeed) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

int runDemoCommand(int argc, char** argv, const Arguments& args, const Streams& io) {
    double speed = 1.0;
    std::optional<std::string> file;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (isHelpFlag(arg)) {
            printDemoHelp(io.out);
            return kExitOk;
        }
        if (arg == "--speed" || arg.rfind("--speed=", 0) == 0) {
            std::string value;
            if (arg != "--speed") {
                value = arg.substr(8);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            }
            const auto parsed = parseSpeed(value);
            if (!parsed) {
                return usageError(io, fmt::format("--speed needs a number from 0.1 to 1000, "
                                                  "got \"{}\"",
                                                  value));
            }
            speed = *parsed;
        } else if (arg != "-" && arg.rfind('-', 0) == 0) {
            return usageError(io, fmt::format("unknown option \"{}\"", arg));
        } else if (file) {
            return usageError(io,
                              fmt::format("only one scenario, got \"{}\" and \"{}\"", *file, arg));
        } else {
            file = arg;
        }
    }
    std::string text;
    std::string source = "the built-in scenario";
    if (file) {
        auto read = readInputText(*file, "demo", io);
        if (!read) {
            return kExitUsage;
        }
        text = std::move(*read);
        source = *file == "-" ? "<stdin>" : *file;
    } else {
        text = std::string(defaultScenarioText());
    }
    const auto parsed = parseScenario(text);
    if (!parsed) {
        fmt::print(io.err, "ambleguard demo: {}: {}\n", printable(source),
                   printable(parsed.error().describe()));
        return kExitUsage;
    }
    const Scenario& scenario = parsed.value();

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ambleguard"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ambleguard (demo)"));
    QApplication::setQuitOnLastWindowClosed(false);

    // Lines appear as they happen, also when the output goes through a pipe.
    std::setvbuf(io.out, nullptr, _IOLBF, 0);
    TranscriptPrinter printer(io.out, TranscriptPrinter::Format::text, LogLevel::info);
    if (scenario.description) {
        fmt::print(io.out, "{}\n\n", printable(*scenario.description));
    }
    std::unique_ptr<ui::QtAppShell> shell;
    ScenarioRunner runner(scenario, printer, [&](sim::SimPlatform& platform) {
        ui::QtAppShell::Options options;
        options.version = QStringLiteral(AMBLEGUARD_VERSION " (demo)");
        options.presentAtStart = true;
        shell =
            std::make_unique<ui::QtAppShell>(platform.shell, platform.logSink, std::move(options));
        return shell.get();
    });
    shell->attach(runner.app);
    runner.launch();

    // Virtual time follows the wall clock, scaled; the simulated loop runs what falls due.
    QElapsedTimer wall;
    wall.start();
    QTimer ticker;
    bool ended = false;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double t = static_cast<double>(wall.elapsed()) / 1000.0 * speed;
        runner.runUntil(t);
        if (runner.platform.appInstance.terminations() > 0) {
            QApplication::quit();
        }
        if (!ended && t >= runner.duration()) {
            ended = true;
            fmt::print(io.out, "\nThe story has ended. Quit from the tray menu or press Ctrl+C.\n");
            std::fflush(io.out);
        }
    });
    ticker.start(kTickMs);
    // Without a tray the panel is the demo's only window: closing it ends the demo.
    if (auto* panel = shell->panelWindow()) {
        QObject::connect(panel, &ui::PanelWindow::closed, &application, [&shell] {
            if (!shell->hasTray()) {
                QApplication::quit();
            }
        });
    }
    const int status = QApplication::exec();
    ticker.stop();
    return status;
}

}  // namespace ambleguard::cli
