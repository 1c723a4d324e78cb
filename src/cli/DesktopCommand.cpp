#include "cli/DesktopCommand.h"

#include "app/Application.h"
#include "cli/ResourceFolder.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/SingleInstance.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fmt/format.h>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

namespace ambleguard::cli {

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the event loop from inside it, so everything is torn down in order
// (the Bluetooth discovery ended, the inhibitor released) instead of the process just dying.
class QuitOnSignals {
  public:
    QuitOnSignals() {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
            return;
        }
        notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [] {
            char byte = 0;
            [[maybe_unused]] const auto read = ::read(signalPipe[0], &byte, 1);
            QCoreApplication::quit();
        });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
    }
    ~QuitOnSignals() {
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        notifier_.reset();
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
    }

  private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

void printHelp() {
    fmt::print(
        "Usage: ambleguard [--headless]\n"
        "\n"
        "Runs Ambleguard: it watches the Bluetooth signal of the device you chose\n"
        "(`ambleguard devices`, `ambleguard track ID`) and locks the screen when it goes away.\n"
        "Only one instance runs per user; starting another asks the running one to show\n"
        "itself. SIGINT or SIGTERM end it cleanly.\n"
        "\n"
        "  --headless   no window or tray icon at all (a tiling window manager, a systemd\n"
        "               user service); the log goes to the journal, or to standard error\n"
        "               when that is a terminal\n");
}

}  // namespace

int runDesktopProgram(int argc, char** argv, const Arguments& args) {
    for (const auto& arg : args) {
        if (isHelpFlag(arg)) {
            printHelp();
            return kExitOk;
        }
        if (arg != "--headless") {
            fmt::print(stderr, "ambleguard: unknown option \"{}\"\n", arg);
            return kExitUsage;
        }
    }
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("ambleguard");

    // Asked before anything else is built, so a second start touches no service.
    posix::SystemClock clock;
    linuxdesktop::DesktopLogSink instanceLog(clock, LogLevel::info);
    AppShell* shell = nullptr;
    linuxdesktop::SingleInstance instance(QDBusConnection::sessionBus(), instanceLog, [&shell] {
        if (shell != nullptr) {
            shell->activate();
        }
    });
    if (instance.claim() == linuxdesktop::SingleInstance::Claim::another) {
        fmt::print(stderr, "ambleguard is already running; asked it to show itself\n");
        return kExitOk;
    }

    linuxdesktop::LinuxPlatformOptions options;
    options.resources = resourceFolder(QCoreApplication::applicationDirPath().toStdString(),
                                       AMBLEGUARD_SOURCE_RESOURCES);
    linuxdesktop::LinuxPlatform platform(options);
    shell = &platform.shell;

    QuitOnSignals quitOnSignals;
    int status = 0;
    {
        Application app(platform.ports());
        app.launch();
        status = QCoreApplication::exec();
        // The application goes first, while the platform it uses still exists.
    }
    shell = nullptr;
    return status;
}

}  // namespace ambleguard::cli
