#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace ambleguard::cli {

// Reads a stream one line at a time in bounded memory. A line longer than `maxLength` comes
// back cut to maxLength + 1 characters (so the caller can tell it was too long) and the rest of
// it is skipped unread into memory.
class LineReader {
  public:
    LineReader(std::FILE* in, std::size_t maxLength) : in_(in), maxLength_(maxLength) {}

    // The next line without its "\n"; nothing at the end of the stream. The view stays valid
    // until the next call.
    std::optional<std::string_view> next();
    // True when reading stopped on an error rather than at the end.
    bool failed() const { return std::ferror(in_) != 0; }

  private:
    std::FILE* in_;
    std::size_t maxLength_;
    std::string line_;
};

}  // namespace ambleguard::cli
