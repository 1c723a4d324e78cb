#pragma once

#include "base/Result.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ambleguard::posix {

// Replaces `path` with `contents` so that readers see either the old or the new file, never a
// mix: write a temporary file beside it, flush it to disk, rename it over the target and flush
// the folder. The temporary file gets an unpredictable name and is created exclusively, so a
// link planted beside the target is never followed. While it is written it holds a lock, which
// tells removeStaleTemporaryFiles that its writer is still alive. Creates missing folders one by
// one with mode 0700. On failure the old file is left as it was.
Result<void> writeFileAtomically(const std::filesystem::path& path, const std::string& contents);

// Removes temporary files of writeFileAtomically for `path` that were left behind by a writer
// that died (they are regular files named after `path` that nobody holds locked). Returns the
// names removed.
std::vector<std::filesystem::path> removeStaleTemporaryFiles(const std::filesystem::path& path);

// The largest file readWholeFile reads.
inline constexpr std::size_t kMaxReadSize = std::size_t{16} * 1024 * 1024;

enum class ReadStatus {
    ok,
    missing,
    failed,    // cannot be opened or read, or it is not a regular file (a FIFO, a device)
    tooLarge,  // a regular file larger than kMaxReadSize
};

struct ReadResult {
    ReadStatus status;
    std::string contents;  // when ok
    std::string error;     // when failed or tooLarge
};

// Reads a regular file of at most kMaxReadSize bytes. Never blocks on a FIFO and never reads an
// endless device.
ReadResult readWholeFile(const std::filesystem::path& path);

// When the folder holding `path` is writable by others, takes that away (as an ssh client
// insists for its key folder). Returns a sentence for the user when something was changed or
// could not be, nothing when the folder is fine or missing.
std::optional<std::string> tightenFolderPermissions(const std::filesystem::path& path);

}  // namespace ambleguard::posix
