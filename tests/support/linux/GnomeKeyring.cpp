#include "support/linux/GnomeKeyring.h"

#include "support/linux/TestBuses.h"

#include <QDBusConnectionInterface>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace ambleguard::test {

bool GnomeKeyring::installed() {
    return ::access("/usr/bin/gnome-keyring-daemon", X_OK) == 0;
}

GnomeKeyring::GnomeKeyring(const TestBuses& buses) {
    const auto home = buses.directory() / "home";
    std::filesystem::create_directories(home);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    const auto unlockFile = buses.directory() / "keyring-unlock";
    std::ofstream(unlockFile) << "keyring's own password";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, unlockFile.c_str(), O_RDONLY, 0);
    const auto output = buses.directory() / "keyring.log";
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args = {"/usr/bin/gnome-keyring-daemon", "--foreground", "--unlock",
                                     "--components=secrets"};
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int spawned = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        return;
    }
    // Asking whether the name is owned never starts a second daemon; calling it would.
    auto session = buses.connect(TestBus::session);
    ready_ = waitUntil(
        [&] { return session.interface()->isServiceRegistered("org.freedesktop.secrets").value(); },
        std::chrono::seconds(10));
}

GnomeKeyring::~GnomeKeyring() {
    if (pid_ > 0) {
        ::kill(pid_, SIGCONT);
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

}  // namespace ambleguard::test
