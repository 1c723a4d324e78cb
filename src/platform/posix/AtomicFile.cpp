#include "platform/posix/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace ambleguard::posix {

namespace fs = std::filesystem;

namespace {

std::string errnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

std::string temporaryPrefix(const fs::path& path) {
    return path.filename().string() + ".tmp-";
}

// Creates every missing folder of `folder` owner-only. create_directories would make parents
// with the process's umask, which may leave them open to everyone.
Result<void> makeFolders(const fs::path& folder) {
    std::error_code ec;
    if (folder.empty() || fs::is_directory(folder, ec)) {
        return Result<void>::success();
    }
    if (auto made = makeFolders(folder.parent_path()); !made) {
        return made;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return failure(errnoText("cannot create folder " + folder.string()));
    }
    if (!fs::is_directory(folder, ec)) {
        return failure("cannot create folder " + folder.string() +
                       ": something else is in the way");
    }
    return Result<void>::success();
}

bool writeAll(int fd, const std::string& contents) {
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

Result<void> writeFileAtomically(const fs::path& path, const std::string& contents) {
    const fs::path folder = path.parent_path();
    if (auto made = makeFolders(folder); !made) {
        return made;
    }

    // mkostemp creates the file with O_EXCL (a planted link makes it pick another name, never
    // follow the link) and mode 0600.
    std::string tempName = path.string() + ".tmp-XXXXXX";
    const int rawFd = ::mkostemp(tempName.data(), O_CLOEXEC);
    if (rawFd < 0) {
        return failure(errnoText("cannot create a temporary file beside " + path.string()));
    }
    FileDescriptor fd(rawFd);
    // Held until the descriptor closes: a lock on a temporary file means its writer is alive.
    ::flock(fd.get(), LOCK_EX | LOCK_NB);
    const auto fail = [&](const std::string& what) {
        auto error = errnoText(what);
        ::unlink(tempName.c_str());
        return Result<void>::failure(std::move(error));
    };
    if (!writeAll(fd.get(), contents)) {
        return fail("cannot write " + tempName);
    }
    if (::fsync(fd.get()) != 0) {
        return fail("cannot flush " + tempName);
    }
    if (::rename(tempName.c_str(), path.c_str()) != 0) {
        return fail("cannot replace " + path.string());
    }
    // The rename itself lives in the folder; flush it so a crash cannot bring the old file back.
    const int folderFd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return Result<void>::success();
}

std::vector<fs::path> removeStaleTemporaryFiles(const fs::path& path) {
    std::vector<fs::path> removed;
    const std::string prefix = temporaryPrefix(path);
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path candidate = it->path();
        if (!candidate.filename().string().starts_with(prefix) || !it->is_regular_file(ec) ||
            it->is_symlink(ec)) {
            continue;
        }
        // O_NOFOLLOW: a link swapped in after the check above is not opened.
        FileDescriptor fd(
            ::open(candidate.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (fd.get() < 0 || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            continue;  // a writer is still at work on it
        }
        if (::unlink(candidate.c_str()) == 0) {
            removed.push_back(candidate);
        }
    }
    return removed;
}

ReadResult readWholeFile(const fs::path& path) {
    // O_NONBLOCK: opening a FIFO with no writer would otherwise wait for one for ever.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            return {ReadStatus::missing, {}, {}};
        }
        return {ReadStatus::failed, {}, std::strerror(errno)};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return {ReadStatus::failed, {}, std::strerror(errno)};
    }
    if (!S_ISREG(info.st_mode)) {
        return {ReadStatus::failed, {}, "not a regular file"};
    }
    if (static_cast<std::uint64_t>(info.st_size) > kMaxReadSize) {
        return {ReadStatus::tooLarge, {}, "larger than 16 MiB"};
    }
    std::string contents;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {ReadStatus::failed, {}, std::strerror(errno)};
        }
        if (n == 0) {
            break;
        }
        // The file may grow while it is read; the limit holds whatever its size said.
        if (contents.size() + static_cast<std::size_t>(n) > kMaxReadSize) {
            return {ReadStatus::tooLarge, {}, "larger than 16 MiB"};
        }
        contents.append(buffer, static_cast<std::size_t>(n));
    }
    return {ReadStatus::ok, std::move(contents), {}};
}

std::optional<std::string> tightenFolderPermissions(const fs::path& path) {
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return std::nullopt;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) == 0) {
        return std::nullopt;
    }
    if (info.st_uid != ::geteuid()) {
        return "Settings folder " + folder.string() +
               " is writable by other users and belongs to someone else; anyone who can write "
               "there can change these settings";
    }
    if (::chmod(folder.c_str(), 0700) != 0) {
        return errnoText("Settings folder " + folder.string() +
                         " is writable by other users and could not be made owner-only");
    }
    return "Settings folder " + folder.string() +
           " was writable by other users; it is now readable and writable by its owner only";
}

}  // namespace ambleguard::posix
