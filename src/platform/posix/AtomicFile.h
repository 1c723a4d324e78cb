#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ambleguard::posix {

// Replaces `path` with `contents` so that readers see either the old or the new file, never a
// mix: write a temporary file beside it, flush it to disk, rename it over the target. Creates
// missing parent folders (mode 0700). Returns an error text on failure; the old file is then
// left as it was.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path,
                                               const std::string& contents);

enum class ReadStatus { ok, missing, failed };

struct ReadResult {
    ReadStatus status;
    std::string contents;  // when ok
    std::string error;     // when failed
};

ReadResult readWholeFile(const std::filesystem::path& path);

}  // namespace ambleguard::posix
