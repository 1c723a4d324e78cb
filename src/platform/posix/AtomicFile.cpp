#include "platform/posix/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace ambleguard::posix {

namespace fs = std::filesystem;

namespace {

std::string errnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

std::optional<std::string> writeFileAtomically(const fs::path& path, const std::string& contents) {
    std::error_code ec;
    const fs::path folder = path.parent_path();
    if (!folder.empty() && !fs::exists(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec) {
            return "cannot create folder " + folder.string() + ": " + ec.message();
        }
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
    }

    const fs::path temp = path.string() + ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errnoText("cannot create " + temp.string());
    }
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            auto error = errnoText("cannot write " + temp.string());
            ::close(fd);
            ::unlink(temp.c_str());
            return error;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        auto error = errnoText("cannot flush " + temp.string());
        ::close(fd);
        ::unlink(temp.c_str());
        return error;
    }
    ::close(fd);
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        auto error = errnoText("cannot replace " + path.string());
        ::unlink(temp.c_str());
        return error;
    }
    return std::nullopt;
}

ReadResult readWholeFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        if (ec && ec != std::errc::no_such_file_or_directory) {
            return {ReadStatus::failed, {}, ec.message()};
        }
        return {ReadStatus::missing, {}, {}};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {ReadStatus::failed, {}, std::strerror(errno)};
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        return {ReadStatus::failed, {}, "read error"};
    }
    return {ReadStatus::ok, buffer.str(), {}};
}

}  // namespace ambleguard::posix
