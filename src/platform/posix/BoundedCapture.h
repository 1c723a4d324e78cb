#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ambleguard::posix {

// Keeps the start and the end of a stream of unknown length in bounded memory: the first
// `headLimit` bytes, the last `tailLimit` bytes, and a count of what was dropped between them.
// A tool that writes a gigabyte must not take the program's memory with it, yet its first lines
// (what it did) and last lines (how it failed) are the useful ones.
class BoundedCapture {
  public:
    static constexpr std::size_t kDefaultLimit = std::size_t{64} * 1024;

    explicit BoundedCapture(std::size_t headLimit = kDefaultLimit,
                            std::size_t tailLimit = kDefaultLimit);

    void append(std::string_view bytes);

    // Everything, when nothing was dropped; otherwise the start, a line saying how many bytes
    // were left out, and the end.
    std::string text() const;
    std::size_t droppedBytes() const { return dropped_; }

  private:
    std::size_t headLimit_;
    std::size_t tailLimit_;
    std::string head_;
    std::string tail_;  // a ring of tailLimit_ bytes once full; tailStart_ is its oldest byte
    std::size_t tailStart_ = 0;
    std::size_t dropped_ = 0;
};

}  // namespace ambleguard::posix
