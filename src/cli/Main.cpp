#include "cli/Command.h"

#include "base/TextEscaping.h"
#include "cli/DemoCommand.h"
#include "cli/DesktopCommand.h"
#include "cli/DevicesCommand.h"
#include "cli/ReplayCommand.h"
#include "cli/SettingsCommand.h"
#include "cli/SimulateCommand.h"
#include "platform/posix/JsonSettingsFile.h"
#include "platform/posix/StreamSinks.h"
#include "platform/posix/SystemClock.h"
#include "settings/SettingsStore.h"

#include <fmt/format.h>

namespace {

using namespace ambleguard;

void printHelp(std::FILE* out) {
    fmt::print(out,
               "Usage: ambleguard [--headless]\n"
               "       ambleguard COMMAND [ARGS]\n"
               "\n"
               "Ambleguard locks the screen when the Bluetooth device you carry goes away and\n"
               "can run shortcuts and unlock again when it comes back.\n"
               "\n"
               "Without a command it runs the program (--headless: with no window at all).\n"
               "\n"
               "Commands:\n"
               "  simulate   run the whole program in a simulated world (the main job)\n"
               "  demo       show the user interface on that simulated world\n"
               "  settings   see and change the stored settings\n"
               "  replay     run a recorded RSSI trace through the presence detection\n"
               "  devices    scan and list nearby Bluetooth devices\n"
               "  track      choose the device to track by its identifier\n"
               "\n"
               "Run `ambleguard COMMAND --help` for a command's options.\n");
}

int runSettings(const cli::Arguments& args) {
    posix::SystemClock clock;
    // Only problems reach the terminal; a settings command is not a monitoring session.
    posix::StderrLogSink logSink(clock, LogLevel::error);
    posix::JsonSettingsFile file(posix::JsonSettingsFile::defaultPath(), clock);
    SettingsStore store(file, logSink);
    return cli::runSettingsCommand(args, store, file.location(), cli::Streams{});
}

}  // namespace

int main(int argc, char** argv) {
    cli::Arguments args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--headless") {
        return cli::runDesktopProgram(argc, argv, args);
    }
    if (cli::isHelpFlag(args[0])) {
        printHelp(stdout);
        return cli::kExitOk;
    }
    const std::string command = args[0];
    cli::Arguments rest(args.begin() + 1, args.end());
    if (command == "--version") {
        fmt::print("ambleguard {}\n", AMBLEGUARD_VERSION);
        return cli::kExitOk;
    }
    if (command == "settings") {
        return runSettings(rest);
    }
    if (command == "simulate") {
        return cli::runSimulateCommand(rest, cli::Streams{});
    }
    if (command == "demo") {
        return cli::runDemoCommand(argc, argv, rest, cli::Streams{});
    }
    if (command == "devices") {
        return cli::runDevicesCommand(argc, argv, rest, cli::Streams{});
    }
    if (command == "track") {
        return cli::runTrackCommand(argc, argv, rest, cli::Streams{});
    }
    if (command == "replay") {
        return cli::runReplayCommand(rest, cli::Streams{});
    }
    fmt::print(stderr, "ambleguard: unknown command \"{}\"\n", printable(command));
    printHelp(stderr);
    return cli::kExitUsage;
}
