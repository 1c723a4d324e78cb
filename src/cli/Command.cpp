#include "cli/Command.h"

#include "base/TextEscaping.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace ambleguard::cli {

bool isHelpFlag(std::string_view arg) {
    return arg == "--help" || arg == "-h" || arg == "help";
}

std::optional<std::string> readInputText(const std::string& file, std::string_view command,
                                         const Streams& io) {
    if (file == "-") {
        std::string text;
        char buffer[65536];
        std::size_t count = 0;
        while ((count = std::fread(buffer, 1, sizeof buffer, io.in)) > 0) {
            text.append(buffer, count);
        }
        return text;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        fmt::print(io.err, "ambleguard {}: cannot read {}: {}\n", command, printable(file),
                   std::strerror(errno));
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        fmt::print(io.err, "ambleguard {}: cannot read {}\n", command, printable(file));
        return std::nullopt;
    }
    return std::move(text).str();
}

}  // namespace ambleguard::cli
