#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard::cli {

// Exit statuses shared by every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNotFound = 1;  // e.g. a setting that was never written
inline constexpr int kExitUsage = 2;     // bad arguments or input
inline constexpr int kExitUnsaved = 3;   // a change could not be written to disk

// Where a subcommand writes; tests substitute files.
struct Streams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    std::FILE* in = stdin;
};

using Arguments = std::vector<std::string>;

bool isHelpFlag(std::string_view arg);

// The largest input readInputText takes.
inline constexpr std::size_t kMaxInputText = std::size_t{16} * 1024 * 1024;

// The whole text of `file`, or of standard input for "-". A file that cannot be read, or is
// larger than kMaxInputText, is reported on the error stream ("ambleguard COMMAND: cannot read
// FILE: reason").
std::optional<std::string> readInputText(const std::string& file, std::string_view command,
                                         const Streams& io);

}  // namespace ambleguard::cli
