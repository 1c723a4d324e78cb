#include "platform/posix/XdgAutostartEntry.h"

#include "platform/posix/AtomicFile.h"

#include <cstdlib>
#include <string_view>
#include <system_error>

namespace ambleguard::posix {

namespace fs = std::filesystem;

namespace {

std::string_view trim(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// The program path as one argument of an Exec line. Quoted when it holds anything the
// standard reserves, with the quoting escapes inside; then `%` is doubled (field codes) and
// every backslash doubled again, because the Exec value is itself an escaped string.
std::string execArgument(std::string_view path) {
    constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string argument;
    if (path.find_first_of(kReserved) == std::string_view::npos) {
        argument = path;
    } else {
        argument = "\"";
        for (char c : path) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') {
                argument += '\\';
            }
            argument += c;
        }
        argument += '"';
    }
    std::string escaped;
    for (char c : argument) {
        if (c == '%') {
            escaped += "%%";
        } else if (c == '\\') {
            escaped += "\\\\";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace

XdgAutostartEntry::XdgAutostartEntry(fs::path autostartFolder, std::string executable)
    : folder_(std::move(autostartFolder)), executable_(std::move(executable)) {}

fs::path XdgAutostartEntry::defaultFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg == '/') {
        return fs::path(xdg) / "autostart";
    }
    const char* home = std::getenv("HOME");
    const fs::path base = (home != nullptr && *home != '\0') ? fs::path(home) : fs::path(".");
    return base / ".config" / "autostart";
}

std::string XdgAutostartEntry::contents() const {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Ambleguard\n"
           "Comment=Locks the screen when your phone or watch goes away\n"
           "Exec=" +
           execArgument(executable_) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

LoginItem::Status XdgAutostartEntry::status() const {
    const ReadResult read = readWholeFile(path());
    if (read.status != ReadStatus::ok) {
        // Missing or unreadable: the desktop would not start anything from it either.
        return Status::notRegistered;
    }
    bool inMainGroup = false;
    bool sawMainGroup = false;
    std::string_view rest = read.contents;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view line = trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            sawMainGroup = sawMainGroup || inMainGroup;
            continue;
        }
        if (!inMainGroup) {
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const auto key = trim(line.substr(0, equals));
        const auto value = trim(line.substr(equals + 1));
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return Status::notRegistered;
        }
    }
    // A file without the entry group is not a desktop entry; no desktop starts it.
    return sawMainGroup ? Status::enabled : Status::notRegistered;
}

Result<void> XdgAutostartEntry::registerItem() {
    if (executable_.empty() || executable_.find('\n') != std::string::npos ||
        executable_.find('\r') != std::string::npos) {
        return failure("the program's path cannot be written into an autostart entry");
    }
    return writeFileAtomically(path(), contents());
}

Result<void> XdgAutostartEntry::unregisterItem() {
    std::error_code ec;
    fs::remove(path(), ec);
    if (ec) {
        return failure("cannot remove " + path().string() + ": " + ec.message());
    }
    return Result<void>::success();
}

}  // namespace ambleguard::posix
