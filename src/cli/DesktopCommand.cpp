#include "cli/DesktopCommand.h"

#include "app/Application.h"
#include "cli/AutostartProgram.h"
#include "cli/ResourceFolder.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/SingleInstance.h"
#include "settings/SettingsKeys.h"

#include "ui/QtAppShell.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <fmt/format.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>

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
        "With a desktop session it shows a tray icon whose menu opens the panel (or, where\n"
        "there is no tray, the panel as a window); the first start walks through setup.\n"
        "\n"
        "  --headless   no window or tray icon at all (a tiling window manager, a systemd\n"
        "               user service); the log goes to the journal, or to standard error\n"
        "               when that is a terminal. Without a display it runs this way.\n");
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
    // Without a display there is nothing to draw on: run as if asked to, and say so.
    bool headless = std::find(args.begin(), args.end(), "--headless") != args.end();
    if (!headless && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        fmt::print(stderr,
                   "ambleguard: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                   "running headless\n");
        headless = true;
    }
    std::unique_ptr<QCoreApplication> application;
    if (headless) {
        application = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        application = std::make_unique<QApplication>(argc, argv);
        // It lives in the tray: closing its last window does not end it.
        QApplication::setQuitOnLastWindowClosed(false);
        QApplication::setDesktopFileName(QStringLiteral("ambleguard"));
    }
    QCoreApplication::setApplicationName("ambleguard");
    QCoreApplication::setApplicationVersion(QStringLiteral(AMBLEGUARD_VERSION));

    // Asked before anything else is built, so a second start touches no service.
    posix::SystemClock clock;
    linuxdesktop::DesktopLogSink instanceLog(clock, LogLevel::info);
    AppShell* shell = nullptr;
    linuxdesktop::SingleInstance instance(QDBusConnection::sessionBus(), instanceLog,
                                          [&shell, headless] {
                                              if (shell != nullptr) {
                                                  shell->activate();
                                              }
                                              return !headless;
                                          });
    switch (instance.claim()) {
        case linuxdesktop::SingleInstance::Claim::another:
            fmt::print(stderr, "ambleguard is already running; asked it to show itself\n");
            return kExitOk;
        case linuxdesktop::SingleInstance::Claim::anotherHeadless:
            // Typically the systemd user service: starting from the launcher would otherwise
            // seem to do nothing at all.
            {
                const char* text =
                    "Ambleguard is already running without a window (for example as the systemd "
                    "user service). To use the tray instead, stop it first: systemctl --user stop "
                    "ambleguard";
                fmt::print(stderr, "{}\n", text);
                if (!headless) {
                    // Started from the launcher, nobody reads standard error.
                    QMessageBox::information(nullptr, QStringLiteral("Ambleguard"),
                                             QString::fromUtf8(text));
                }
                return kExitOk;
            }
        case linuxdesktop::SingleInstance::Claim::first:
        case linuxdesktop::SingleInstance::Claim::unchecked:
            break;
    }

    linuxdesktop::LinuxPlatformOptions options;
    options.resources = resourceFolder(QCoreApplication::applicationDirPath().toStdString(),
                                       AMBLEGUARD_SOURCE_RESOURCES);
    const char* searchPath = std::getenv("PATH");
    options.executable = autostartProgram(QCoreApplication::applicationFilePath().toStdString(),
                                          searchPath != nullptr ? searchPath : "");
    // How to unlock is the platform's to decide before anything uses it, so it is read ahead of
    // the settings store.
    const auto typing = posix::JsonSettingsFile::peek(options.settingsFile, keys::unlockByTyping);
    options.unlockByTyping =
        typing && std::holds_alternative<bool>(*typing) && std::get<bool>(*typing);
    linuxdesktop::LinuxPlatform platform(options);

    std::unique_ptr<ui::QtAppShell> desktopShell;
    if (!headless) {
        ui::QtAppShell::Options shellOptions;
        shellOptions.version = QCoreApplication::applicationVersion();
        shellOptions.faq =
            QUrl::fromLocalFile(QString::fromStdString((options.resources / "faq.html").string()));
        // Started from the launcher (which hands over a startup token), the user expects to
        // see something; started at login or by systemd, it stays in the tray.
        shellOptions.presentAtStart = !qEnvironmentVariableIsEmpty("DESKTOP_STARTUP_ID") ||
                                      !qEnvironmentVariableIsEmpty("XDG_ACTIVATION_TOKEN");
        desktopShell = std::make_unique<ui::QtAppShell>(platform.shell, platform.logSink,
                                                        std::move(shellOptions));
        shell = desktopShell.get();
    } else {
        shell = &platform.shell;
    }

    QuitOnSignals quitOnSignals;
    int status = 0;
    {
        Application app(desktopShell
                            ? platform.ports().withShell(*desktopShell, &desktopShell->alerts())
                            : platform.ports());
        if (desktopShell) {
            desktopShell->attach(app);
        }
        app.launch();
        status = QCoreApplication::exec();
        // The interface and the application go first, while the platform they use exists.
        shell = nullptr;
        desktopShell.reset();
    }
    shell = nullptr;
    return status;
}

}  // namespace ambleguard::cli
