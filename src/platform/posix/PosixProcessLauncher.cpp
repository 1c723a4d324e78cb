#include "platform/posix/PosixProcessLauncher.h"

#include "platform/posix/BoundedCapture.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
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
bool readSome(int fd, BoundedCapture& into) {
    char buffer[64 * 1024];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0) {
        return errno == EINTR || errno == EAGAIN;
    }
    if (count == 0) {
        return false;
    }
    into.append(std::string_view(buffer, static_cast<std::size_t>(count)));
    return true;
}

int exitStatusOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

// Reaps `pid` if it has ended: its status (as exitStatusOf gives it), or nothing while it runs.
// A child someone else reaped has an unknown status, which must never read as success.
std::optional<int> reapIfEnded(pid_t pid) {
    int status = 0;
    for (;;) {
        const pid_t reaped = ::waitpid(pid, &status, WNOHANG);
        if (reaped == pid) {
            return exitStatusOf(status);
        }
        if (reaped == 0) {
            return std::nullopt;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

// A descriptor that becomes readable when the child ends, so that waiting for the end can be
// given up when the launcher goes away; -1 where the kernel has none (then the wait polls).
int openProcessFd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
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
        return ProcessResult(failure(
            fmt::format("{}: cannot create an output pipe: {}", executable, errorText(errno))));
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
        return ProcessResult(failure(fmt::format("{}: {}", executable, errorText(spawnError))));
    }

    // A tool may close its outputs and keep running, or end while something it started keeps
    // them open: so the outputs, the end of the child and the stop signal are watched together.
    // Standard output and error are kept bounded but always drained.
    Pipe processFd;  // only its read end is used
    processFd.readEnd = openProcessFd(pid);
    BoundedCapture captured[2];
    pollfd fds[4] = {{out.readEnd, POLLIN, 0},
                     {err.readEnd, POLLIN, 0},
                     {stopFd, POLLIN, 0},
                     {processFd.readEnd, POLLIN, 0}};
    std::optional<int> status;
    while (!status || fds[0].fd >= 0 || fds[1].fd >= 0) {
        // Without a process descriptor the end of the child is checked a few times a second.
        const int timeout = status || processFd.readEnd >= 0 ? -1 : 100;
        // Once the child has ended, only what is already in the pipes is taken.
        const int ready = ::poll(fds, 4, status ? 0 : timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;  // cannot wait for output any more; still reap the child below
        }
        if (fds[2].revents != 0) {
            // The launcher is going away: leave the child alone, reap it if it is already done.
            (void)reapIfEnded(pid);
            return std::nullopt;
        }
        if (status && ready == 0) {
            break;  // ended, and nothing more is waiting to be read
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && fds[i].revents != 0 && !readSome(fds[i].fd, captured[i])) {
                fds[i].fd = -1;  // the Pipe closes it
            }
        }
        if (!status && (processFd.readEnd < 0 || fds[3].revents != 0)) {
            status = reapIfEnded(pid);
            if (status) {
                fds[3].fd = -1;
            }
        }
    }
    ProcessExit exit;
    exit.standardOutput = captured[0].text();
    exit.standardError = captured[1].text();
    if (!status) {
        // Polling failed: wait for the end, still giving up when the launcher goes away.
        while (!(status = reapIfEnded(pid))) {
            pollfd stop{stopFd, POLLIN, 0};
            if (::poll(&stop, 1, 100) > 0) {
                return std::nullopt;
            }
        }
    }
    exit.status = *status;
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
