#include "platform/posix/PosixProcessLauncher.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <system_error>
#include <utility>

extern char** environ;

namespace ambleguard::posix {

namespace {

std::string errorText(int error) {
    return std::system_category().message(error);
}

void closeIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Both ends of a pipe, closed on every path out of a run. Created close-on-exec so that
// children started concurrently by other threads do not inherit them (an inherited write end
// would keep our reader from ever seeing the end of the output).
struct Pipe {
    int readEnd = -1;
    int writeEnd = -1;
    Pipe() = default;
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe() {
        closeIfOpen(readEnd);
        closeIfOpen(writeEnd);
    }
    bool open() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return false;
        }
        readEnd = fds[0];
        writeEnd = fds[1];
        return true;
    }
};

// Reads what is available into `into`. False once the writer is gone (or reading failed).
bool readSome(int fd, std::string& into) {
    char buffer[64 * 1024];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0) {
        return errno == EINTR || errno == EAGAIN;
    }
    if (count == 0) {
        return false;
    }
    into.append(buffer, static_cast<std::size_t>(count));
    return true;
}

int waitForExit(pid_t pid) {
    int status = 0;
    for (;;) {
        if (::waitpid(pid, &status, 0) == pid) {
            break;
        }
        if (errno != EINTR) {
            return -1;  // someone else reaped it; its status is unknown, so never report success
        }
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

// The child gets default signal dispositions and an empty signal mask, whatever this process
// ignores or blocks.
class SpawnSetup {
  public:
    SpawnSetup(int outFd, int errFd) {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_adddup2(&actions_, outFd, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions_, errFd, STDERR_FILENO);
        posix_spawnattr_init(&attributes_);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigdefault(&attributes_, &all);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes_, &none);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

  private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

// Runs one program to its end on the calling thread. Nothing when told to stop first.
std::optional<ProcessResult> runToEnd(const std::string& executable,
                                      const std::vector<std::string>& arguments, int stopFd) {
    Pipe out;
    Pipe err;
    if (!out.open() || !err.open()) {
        return ProcessLaunchFailure{
            fmt::format("{}: cannot create an output pipe: {}", executable, errorText(errno))};
    }

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    int spawnError = 0;
    {
        SpawnSetup setup(out.writeEnd, err.writeEnd);
        spawnError = ::posix_spawn(&pid, executable.c_str(), setup.actions(), setup.attributes(),
                                   argv.data(), environ);
    }
    // Only the child writes; our copies must go or the end of output never shows.
    closeIfOpen(out.writeEnd);
    closeIfOpen(err.writeEnd);
    if (spawnError != 0) {
        return ProcessLaunchFailure{fmt::format("{}: {}", executable, errorText(spawnError))};
    }

    ProcessExit exit;
    pollfd fds[3] = {{out.readEnd, POLLIN, 0}, {err.readEnd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    std::string* sinks[2] = {&exit.standardOutput, &exit.standardError};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;  // cannot wait for output any more; still reap the child below
        }
        if (fds[2].revents != 0) {
            // The launcher is going away: leave the child alone, reap it if it is already done.
            int ignored = 0;
            ::waitpid(pid, &ignored, WNOHANG);
            return std::nullopt;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && fds[i].revents != 0 && !readSome(fds[i].fd, *sinks[i])) {
                fds[i].fd = -1;  // the Pipe closes it
            }
        }
    }
    exit.status = waitForExit(pid);
    return exit;
}

}  // namespace

class PosixProcessLauncher::StopSignal {
  public:
    StopSignal() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) == 0) {
            readFd_ = fds[0];
            writeFd_ = fds[1];
        }
    }
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;
    ~StopSignal() {
        closeIfOpen(readFd_);
        closeIfOpen(writeFd_);
    }

    void raise() {
        stopped_.store(true);
        if (writeFd_ >= 0) {
            const char byte = 1;
            while (::write(writeFd_, &byte, 1) < 0 && errno == EINTR) {
            }
        }
    }
    bool raised() const { return stopped_.load(); }
    int pollFd() const { return readFd_; }

  private:
    std::atomic<bool> stopped_{false};
    int readFd_ = -1;
    int writeFd_ = -1;
};

PosixProcessLauncher::PosixProcessLauncher(Executor& worker, MainQueue& mainQueue)
    : worker_(worker), mainQueue_(mainQueue), stop_(std::make_shared<StopSignal>()) {}

PosixProcessLauncher::~PosixProcessLauncher() {
    stop_->raise();
}

void PosixProcessLauncher::run(std::string executable, std::vector<std::string> arguments,
                               Completion completion) {
    worker_.post([stop = stop_, &mainQueue = mainQueue_, executable = std::move(executable),
                  arguments = std::move(arguments), completion = std::move(completion)]() mutable {
        if (stop->raised()) {
            return;
        }
        std::optional<ProcessResult> result = runToEnd(executable, arguments, stop->pollFd());
        if (!result || stop->raised()) {
            return;
        }
        mainQueue.post([completion = std::move(completion), result = std::move(*result)]() mutable {
            if (completion) {
                completion(std::move(result));
            }
        });
    });
}

}  // namespace ambleguard::posix
