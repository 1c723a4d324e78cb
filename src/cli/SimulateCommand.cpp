#include "cli/SimulateCommand.h"

#include "base/TextEscaping.h"

#include "cli/ScenarioLoader.h"
#include "cli/ScenarioRunner.h"
#include "cli/TranscriptPrinter.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

namespace ambleguard::cli {

void printSimulateHelp(std::FILE* out) {
    fmt::print(
        out,
        "Usage: ambleguard simulate [OPTIONS] [SCENARIO.json]\n"
        "\n"
        "Runs the whole program in a simulated world: devices advertising along their signal\n"
        "timelines, a login session with a lock screen, shortcuts, sounds and notifications,\n"
        "all in virtual time, as fast as the machine allows. Nothing on this computer is\n"
        "locked, played or run, and your stored settings are neither read nor changed.\n"
        "\n"
        "Without SCENARIO.json it runs the built-in story: a phone at the desk, its owner\n"
        "walks away and the screen locks, comes back; then a second departure with the away\n"
        "action set to run a shortcut, and the return shortcut when the phone is back.\n"
        "SCENARIO.json may be - for standard input; the README describes the format, and\n"
        "data/scenarios/ holds examples.\n"
        "\n"
        "The program's log lines are printed with their time (seconds from the start),\n"
        "category and level (debug lines only with --level debug), and so are the texts it\n"
        "writes to standard output, what it makes the platform do (action) and what the\n"
        "scenario makes happen around it (scenario).\n"
        "\n"
        "Options:\n"
        "  --json           one JSON object per line instead of columns:\n"
        "                     "
        "{{\"t\":31.250,\"category\":\"Shortcuts\",\"level\":\"info\",\"text\":\"...\"}}\n"
        "                     {{\"t\":31.250,\"stdout\":\"...\"}}\n"
        "                     {{\"t\":34.250,\"action\":\"lockScreen\"}}   (also screenLocked,\n"
        "                       screenUnlocked, screenSaver, shortcut with \"name\", sound with\n"
        "                       \"file\", notification with \"title\" and \"body\")\n"
        "                     {{\"t\":60.000,\"event\":\"bluetooth\",\"state\":\"poweredOff\"}}\n"
        "                     {{\"t\":900.000,\"summary\":{{...}}}}   (last line)\n"
        "  --level LEVEL    leave out log lines below LEVEL: debug (every line, several\n"
        "                   per reading), info (the default), default, error or fault\n"
        "  --summary        print only the summary at the end (fastest for long runs)\n"
        "\n"
        "Exit status: 0 done, 2 bad arguments, an unreadable scenario or a malformed one\n"
        "(the message names the field, e.g. devices[1].rssi[3]).\n");
}

namespace {

struct SimulateOptions {
    bool json = false;
    bool summaryOnly = false;
    // Debug lines come several times a second for every reading; the story reads better
    // without them.
    LogLevel level = LogLevel::info;
    std::optional<std::string> file;
};

int usageError(const Streams& io, const std::string& message) {
    fmt::print(io.err, "ambleguard simulate: {}\n", printable(message));
    fmt::print(io.err, "Run `ambleguard simulate --help` for the options.\n");
    return kExitUsage;
}

std::optional<int> parseOptions(const Arguments& args, const Streams& io,
                                SimulateOptions& options) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg == "-" || arg.rfind('-', 0) != 0) {
            if (options.file) {
                return usageError(io, fmt::format("only one scenario, got \"{}\" and \"{}\"",
                                                  *options.file, arg));
            }
            options.file = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (isHelpFlag(arg)) {
            printSimulateHelp(io.out);
            return kExitOk;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--summary") {
            options.summaryOnly = true;
        } else if (arg == "--level" || arg.rfind("--level=", 0) == 0) {
            std::optional<std::string> value;
            if (arg != "--level") {
                value = arg.substr(8);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            }
            if (!value) {
                return usageError(io, "--level needs debug, info, default, error or fault");
            }
            const auto level = parseLogLevel(*value);
            if (!level) {
                return usageError(io, fmt::format("--level needs debug, info, default, error or "
                                                  "fault, got \"{}\"",
                                                  *value));
            }
            options.level = *level;
        } else {
            return usageError(io, fmt::format("unknown option \"{}\"", arg));
        }
    }
    return std::nullopt;
}

std::string plural(int n, std::string_view one, std::string_view many) {
    return fmt::format("{} {}", n, n == 1 ? one : many);
}

void printSummary(std::FILE* out, bool json, const ScenarioRunner& runner) {
    const auto& s = runner.summary();
    if (json) {
        std::string names;
        for (const auto& name : s.shortcutsRun) {
            // Not "," + jsonString(name): g++ 12 at -O3 warns falsely (-Wrestrict) about it.
            if (!names.empty()) {
                names += ',';
            }
            names += jsonString(name);
        }
        fmt::print(out,
                   "{{\"t\":{},\"summary\":{{\"departures\":{},\"returns\":{},\"screenLocks\":{},"
                   "\"screenSaverStarts\":{},\"shortcuts\":[{}],\"sounds\":{},"
                   "\"notifications\":{}}}}}\n",
                   formatSeconds(runner.now()), s.departures, s.returns, s.screenLocks,
                   s.screenSaverStarts, names, s.soundsPlayed, s.notifications);
        return;
    }
    std::string shortcuts = "none";
    if (!s.shortcutsRun.empty()) {
        shortcuts.clear();
        for (const auto& name : s.shortcutsRun) {
            shortcuts += (shortcuts.empty() ? "" : ", ") + printable(name);
        }
    }
    fmt::print(out,
               "Simulated {} s: {}, {}; screen locked {}, screen saver started {}; shortcuts "
               "run: {}; {}, {}.\n",
               formatSeconds(runner.now()), plural(s.departures, "departure", "departures"),
               plural(s.returns, "return", "returns"), plural(s.screenLocks, "time", "times"),
               plural(s.screenSaverStarts, "time", "times"), shortcuts,
               plural(s.soundsPlayed, "sound", "sounds"),
               plural(s.notifications, "notification", "notifications"));
}

}  // namespace

int runSimulateCommand(const Arguments& args, const Streams& io) {
    SimulateOptions options;
    if (auto stop = parseOptions(args, io, options)) {
        return *stop;
    }
    std::string text;
    std::string source = "the built-in scenario";
    if (options.file) {
        auto read = readInputText(*options.file, "simulate", io);
        if (!read) {
            return kExitUsage;
        }
        text = std::move(*read);
        source = *options.file == "-" ? "<stdin>" : *options.file;
    } else {
        text = std::string(defaultScenarioText());
    }
    const auto parsed = parseScenario(text);
    if (!parsed) {
        fmt::print(io.err, "ambleguard simulate: {}: {}\n", printable(source),
                   printable(parsed.error().describe()));
        return kExitUsage;
    }
    const auto& scenario = parsed.value();

    TranscriptPrinter printer(
        io.out, options.json ? TranscriptPrinter::Format::json : TranscriptPrinter::Format::text,
        options.level);
    // With --summary nothing but the last line is printed, so the entries go nowhere.
    class Discard final : public TranscriptSink {
      public:
        void entry(const TranscriptEntry&) override {}
        bool wantsLog(LogLevel) const override { return false; }
    } discard;
    TranscriptSink& sink = options.summaryOnly ? static_cast<TranscriptSink&>(discard) : printer;

    if (!options.json && !options.summaryOnly && scenario.description) {
        fmt::print(io.out, "{}\n\n", printable(*scenario.description));
    }
    ScenarioRunner runner(scenario, sink);
    runner.run();
    if (!options.json && !options.summaryOnly) {
        fmt::print(io.out, "\n");
    }
    printSummary(io.out, options.json, runner);
    return kExitOk;
}

}  // namespace ambleguard::cli
