#include "support/linux/XvfbServer.h"

#include <X11/Xlib.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <chrono>
#include <thread>
#include <vector>

extern char** environ;

namespace ambleguard::test {

bool XvfbServer::installed() {
    return ::access("/usr/bin/Xvfb", X_OK) == 0;
}

XvfbServer::XvfbServer(int base) : display_(":" + std::to_string(base + ::getpid() % 300)) {
    // -noreset: the server would otherwise reset (refusing connections for a moment) whenever
    // its last client leaves, as the readiness probe does.
    std::vector<std::string> args = {"/usr/bin/Xvfb", display_, "-nolisten", "tcp", "-noreset"};
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
        return;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (Display* probe = XOpenDisplay(display_.c_str())) {
            XCloseDisplay(probe);
            ready_ = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // server start-up
    }
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

}  // namespace ambleguard::test
