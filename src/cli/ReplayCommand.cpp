#include "cli/ReplayCommand.h"

#include "base/TextEscaping.h"

#include "cli/LineReader.h"
#include "cli/ReplayTrace.h"
#include "cli/ReplayWorld.h"
#include "presence/DetectionMode.h"

#include <fmt/format.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

namespace ambleguard::cli {

void printReplayHelp(std::FILE* out) {
    fmt::print(
        out,
        "Usage: ambleguard replay [OPTIONS] FILE\n"
        "\n"
        "Runs a recorded RSSI trace through the presence detection in virtual time and\n"
        "prints what it decided: presence changes and the effects (departures, returns,\n"
        "connection probes, Bluetooth resets). Nothing is locked or played; your stored\n"
        "settings are neither read nor changed.\n"
        "\n"
        "FILE holds one reading per line, \"t,rssi\": t in seconds (fractions allowed),\n"
        "rssi a whole number of dBm (0 and 127 are rejected as the scanner rejects them).\n"
        "Empty lines and lines starting with # are skipped; a first line \"t,rssi\" is a\n"
        "header. FILE may be - for standard input. Times must not go backwards.\n"
        "\n"
        "Options:\n"
        "  --mode MODE            detection mode: Responsive, Balanced or Stable (default\n"
        "                         Stable); stored as given, and anything but these exact\n"
        "                         words filters like Balanced\n"
        "  --threshold DBM        proximity threshold (default -67)\n"
        "  --away-buffer DB       how far below the threshold counts as weak (default 4)\n"
        "  --return-buffer DB     how far above the threshold a return must be (default 4)\n"
        "  --delay SECONDS        how long the device must look gone (default 1)\n"
        "  --raw                  decide on raw readings instead of filtered ones\n"
        "  --suppress-sudden-loss ignore a sudden total loss of a strong signal\n"
        "  --tail SECONDS         keep the clock running after the last reading (default\n"
        "                         60), so silence is noticed\n"
        "  --json                 one JSON object per line instead of text\n"
        "  --readings             also print every accepted reading, before the\n"
        "                         decisions it caused\n"
        "\n"
        "Times are on the trace's own axis, in seconds. The presence is evaluated after\n"
        "every reading and once per second from the first reading on.\n"
        "\n"
        "JSON lines:\n"
        "  {{\"t\":12.345,\"presence\":\"Weak Signal\",\"source\":\"engine decision\"}}\n"
        "  {{\"t\":13.345,\"effect\":\"becameGone\",\"reason\":\"weak\"}}   (also returned,\n"
        "      cancelledLeaving, probeConnect, probeReset)\n"
        "  {{\"t\":1.234,\"raw\":-70,\"filtered\":-69.87,\"rounded\":-70,\"average\":-70}}\n"
        "\n"
        "Exit status: 0 done, 2 bad arguments, unreadable FILE or a malformed line (the\n"
        "message names the line).\n");
}

namespace {

struct ReplayOptions {
    ReplaySettings settings;
    double tail = 60.0;
    bool json = false;
    bool readings = false;
    std::string file;
};

// Virtual time is cheap, but not free: a tail of more than a week is a typo.
constexpr double kMaxTail = 7 * 24 * 3600.0;

std::optional<double> parseNumber(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value) || std::fabs(value) > 1e9) {
        return std::nullopt;
    }
    return value;
}

int usageError(const Streams& io, const std::string& message) {
    fmt::print(io.err, "ambleguard replay: {}\n", printable(message));
    fmt::print(io.err, "Run `ambleguard replay --help` for the options.\n");
    return kExitUsage;
}

// Parses the arguments; returns an exit status when the command should stop.
std::optional<int> parseOptions(const Arguments& args, const Streams& io, ReplayOptions& options) {
    std::optional<std::string> file;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg == "-" || arg.rfind('-', 0) != 0) {
            if (file) {
                return usageError(io,
                                  fmt::format("only one FILE, got \"{}\" and \"{}\"", *file, arg));
            }
            file = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (isHelpFlag(arg)) {
            printReplayHelp(io.out);
            return kExitOk;
        }
        std::optional<std::string> inlineValue;
        if (const auto equals = arg.find('='); equals != std::string::npos) {
            inlineValue = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        }
        auto flag = [&](bool& target) -> std::optional<int> {
            if (inlineValue) {
                return usageError(io, fmt::format("{} takes no value", arg));
            }
            target = true;
            return std::nullopt;
        };
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };
        auto number = [&](double& target) -> std::optional<int> {
            const auto text = value();
            if (!text) {
                return usageError(io, fmt::format("{} needs a number", arg));
            }
            const auto parsed = parseNumber(*text);
            if (!parsed) {
                return usageError(io, fmt::format("{} needs a number, got \"{}\"", arg, *text));
            }
            target = *parsed;
            return std::nullopt;
        };

        std::optional<int> stop;
        if (arg == "--mode") {
            const auto text = value();
            if (!text) {
                return usageError(io, "--mode needs Responsive, Balanced or Stable");
            }
            options.settings.detectionMode = *text;
        } else if (arg == "--threshold") {
            stop = number(options.settings.averageMinRSSI);
        } else if (arg == "--away-buffer") {
            stop = number(options.settings.hysteresisAwayBuffer);
        } else if (arg == "--return-buffer") {
            stop = number(options.settings.hysteresisReturnBuffer);
        } else if (arg == "--delay") {
            stop = number(options.settings.lastSeenTimeout);
        } else if (arg == "--tail") {
            stop = number(options.tail);
            if (!stop && (options.tail < 0 || options.tail > kMaxTail)) {
                return usageError(io, fmt::format("--tail must be from 0 to {} seconds", kMaxTail));
            }
        } else if (arg == "--raw") {
            stop = flag(options.settings.decideOnRawRSSI);
        } else if (arg == "--suppress-sudden-loss") {
            stop = flag(options.settings.suppressSuddenSignalLoss);
        } else if (arg == "--json") {
            stop = flag(options.json);
        } else if (arg == "--readings") {
            stop = flag(options.readings);
        } else {
            return usageError(io, fmt::format("unknown option \"{}\"", arg));
        }
        if (stop) {
            return stop;
        }
    }
    if (!file) {
        return usageError(io, "which trace? Give a FILE (or - for standard input)");
    }
    options.file = *file;
    return std::nullopt;
}

// Fixed decimals without a "-0.000".
std::string fixed(double value, int decimals) {
    std::string text = fmt::format("{:.{}f}", value, decimals);
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) {
        text.erase(0, 1);
    }
    return text;
}

// Writes the decisions as they happen, as text or JSON lines, and counts them.
class ReplayPrinter {
  public:
    ReplayPrinter(std::FILE* out, bool json) : out_(out), json_(json) {}

    void reading(double t, const ReadingPipeline::AcceptedReading& r) {
        if (json_) {
            fmt::print(out_,
                       "{{\"t\":{},\"raw\":{},\"filtered\":{},\"rounded\":{},\"average\":{}}}\n",
                       fixed(t, 3), r.raw, fixed(r.filtered, 2), r.rounded, r.average);
        } else {
            fmt::print(out_, "{:>10}  reading   raw {} filtered {} rounded {} average {}\n",
                       fixed(t, 3), r.raw, fixed(r.filtered, 2), r.rounded, r.average);
        }
    }

    void presence(double t, DevicePresenceState old, DevicePresenceState now,
                  std::string_view source) {
        if (json_) {
            fmt::print(out_, "{{\"t\":{},\"presence\":{},\"source\":{}}}\n", fixed(t, 3),
                       jsonString(rawValue(now)), jsonString(source));
        } else {
            fmt::print(out_, "{:>10}  presence  {} -> {} ({})\n", fixed(t, 3), rawValue(old),
                       rawValue(now), source);
        }
    }

    void effect(double t, const PresenceEngine::Effect& effect) {
        const auto* gone = std::get_if<PresenceEngine::BecameGone>(&effect);
        if (gone) {
            ++departures_;
        } else if (std::holds_alternative<PresenceEngine::Returned>(effect)) {
            ++returns_;
        }
        if (json_) {
            if (gone) {
                fmt::print(out_, "{{\"t\":{},\"effect\":\"becameGone\",\"reason\":{}}}\n",
                           fixed(t, 3), jsonString(toString(gone->reason)));
            } else {
                fmt::print(out_, "{{\"t\":{},\"effect\":{}}}\n", fixed(t, 3),
                           jsonString(effectName(effect)));
            }
        } else if (gone) {
            fmt::print(out_, "{:>10}  effect    becameGone ({})\n", fixed(t, 3),
                       toString(gone->reason));
        } else {
            fmt::print(out_, "{:>10}  effect    {}\n", fixed(t, 3), effectName(effect));
        }
    }

    int departures() const { return departures_; }
    int returns() const { return returns_; }

  private:
    std::FILE* out_;
    bool json_;
    int departures_ = 0;
    int returns_ = 0;
};

}  // namespace

namespace {

// The trace's stream: standard input for "-", else the file, closed on every way out.
class TraceInput {
  public:
    explicit TraceInput(const std::string& file, std::FILE* standardInput) {
        if (file == "-") {
            stream_ = standardInput;
        } else {
            owned_ = std::fopen(file.c_str(), "rb");
            stream_ = owned_;
        }
    }
    TraceInput(const TraceInput&) = delete;
    TraceInput& operator=(const TraceInput&) = delete;
    ~TraceInput() {
        if (owned_ != nullptr) {
            std::fclose(owned_);
        }
    }
    std::FILE* stream() const { return stream_; }

  private:
    std::FILE* owned_ = nullptr;
    std::FILE* stream_ = nullptr;
};

}  // namespace

int runReplayCommand(const Arguments& args, const Streams& io) {
    ReplayOptions options;
    if (auto stop = parseOptions(args, io, options)) {
        return *stop;
    }
    const std::string source = options.file == "-" ? "<stdin>" : options.file;
    // The trace is read as it is replayed, so any length runs in constant memory; decisions
    // made before a malformed line are already printed when it is reported.
    TraceInput input(options.file, io.in);
    if (input.stream() == nullptr) {
        fmt::print(io.err, "ambleguard replay: cannot read {}: {}\n", printable(options.file),
                   std::strerror(errno));
        return kExitUsage;
    }
    LineReader lines(input.stream(), TraceLineParser::kMaxLineLength);
    TraceLineParser parser;
    // The next reading of the trace; nothing at its end. False after a report of what is wrong.
    std::optional<TraceReading> reading;
    auto advance = [&]() -> bool {
        reading.reset();
        while (auto line = lines.next()) {
            auto parsed = parser.parseLine(*line);
            if (!parsed) {
                const TraceError& error = parsed.error();
                fmt::print(io.err, "ambleguard replay: {}:{}: {}\n", printable(source), error.line,
                           printable(error.message));
                return false;
            }
            if ((reading = parsed.value())) {
                return true;
            }
        }
        if (lines.failed()) {
            fmt::print(io.err, "ambleguard replay: cannot read {}\n", printable(options.file));
            return false;
        }
        return true;
    };

    if (!parseDetectionMode(options.settings.detectionMode)) {
        fmt::print(io.err,
                   "note: mode \"{}\" is not Responsive, Balanced or Stable; the filter uses the "
                   "Balanced profile\n",
                   printable(options.settings.detectionMode));
    }
    if (!advance()) {
        return kExitUsage;
    }
    if (!reading) {
        if (!options.json) {
            fmt::print(io.out, "No readings in {}.\n", printable(options.file));
        }
        return kExitOk;
    }

    NullLogSink logSink;
    const double firstTime = reading->t;
    ReplayWorld world(options.settings, firstTime, logSink);
    ReplayPrinter printer(io.out, options.json);
    auto& pipeline = world.scanner.pipeline();
    std::size_t accepted = 0;
    Connection readingsSeen =
        pipeline.onReadingAccepted([&](const ReadingPipeline::AcceptedReading& accepted_) {
            ++accepted;
            if (options.readings) {
                printer.reading(world.traceTimeOf(accepted_.time), accepted_);
            }
        });
    Connection presenceSeen = pipeline.onPresencePublished(
        [&](DevicePresenceState old, DevicePresenceState now, std::string_view why) {
            printer.presence(world.traceTimeOf(world.clock.now()), old, now, why);
        });
    Connection effectsSeen = pipeline.onEffect([&](const PresenceEngine::Effect& effect) {
        printer.effect(world.traceTimeOf(world.clock.now()), effect);
    });

    world.start();
    std::size_t count = 0;
    double lastTime = firstTime;
    do {
        world.feed(*reading);
        ++count;
        lastTime = reading->t;
        if (!advance()) {
            return kExitUsage;
        }
    } while (reading);
    world.finishFeeding();
    if (!options.json && options.tail > 0) {
        fmt::print(io.out, "{:>10}  end of trace: no more readings for {} s\n", fixed(lastTime, 3),
                   fixed(options.tail, 1));
    }
    world.runTail(lastTime, options.tail);

    if (!options.json) {
        const auto rejected = count - accepted;
        fmt::print(io.out,
                   "{} readings ({} rejected) from {} to {} s, then {} s more: {} departure{}, "
                   "{} return{}; presence at the end: {}\n",
                   count, rejected, fixed(firstTime, 3), fixed(lastTime, 3), fixed(options.tail, 1),
                   printer.departures(), printer.departures() == 1 ? "" : "s", printer.returns(),
                   printer.returns() == 1 ? "" : "s",
                   rawValue(devicePresenceStateFor(world.scanner.presenceEngine().state())));
    }
    return kExitOk;
}

}  // namespace ambleguard::cli
