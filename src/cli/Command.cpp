#include "cli/Command.h"

#include "base/TextEscaping.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ambleguard::cli {

bool isHelpFlag(std::string_view arg) {
    return arg == "--help" || arg == "-h" || arg == "help";
}

std::optional<std::string> readInputText(const std::string& file, std::string_view command,
                                         const Streams& io) {
    std::FILE* in = io.in;
    std::FILE* opened = nullptr;
    if (file != "-") {
        opened = std::fopen(file.c_str(), "rb");
        if (opened == nullptr) {
            fmt::print(io.err, "ambleguard {}: cannot read {}: {}\n", command, printable(file),
                       std::strerror(errno));
            return std::nullopt;
        }
        in = opened;
    }
    const std::string name = file == "-" ? "standard input" : printable(file);
    // A scenario is small; /dev/zero or an endless pipe must not take all memory.
    std::string text;
    char buffer[65536];
    std::size_t count = 0;
    bool tooLarge = false;
    while ((count = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        if (text.size() + count > kMaxInputText) {
            tooLarge = true;
            break;
        }
        text.append(buffer, count);
    }
    const bool failed = std::ferror(in) != 0;
    if (opened != nullptr) {
        std::fclose(opened);
    }
    if (tooLarge) {
        fmt::print(io.err, "ambleguard {}: {} is larger than {} MiB\n", command, name,
                   kMaxInputText / (std::size_t{1024} * 1024));
        return std::nullopt;
    }
    if (failed) {
        fmt::print(io.err, "ambleguard {}: cannot read {}\n", command, name);
        return std::nullopt;
    }
    return text;
}

}  // namespace ambleguard::cli
