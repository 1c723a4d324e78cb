#include "platform/posix/BoundedCapture.h"

#include <fmt/format.h>

#include <algorithm>

namespace ambleguard::posix {

BoundedCapture::BoundedCapture(std::size_t headLimit, std::size_t tailLimit)
    : headLimit_(headLimit), tailLimit_(tailLimit) {}

void BoundedCapture::append(std::string_view bytes) {
    const std::size_t toHead = std::min(bytes.size(), headLimit_ - head_.size());
    head_.append(bytes.substr(0, toHead));
    bytes.remove_prefix(toHead);
    if (bytes.empty()) {
        return;
    }
    if (tailLimit_ == 0) {
        dropped_ += bytes.size();
        return;
    }
    // Only the last tailLimit_ bytes of this piece can stay; the rest is dropped at once.
    if (bytes.size() > tailLimit_) {
        dropped_ += bytes.size() - tailLimit_;
        bytes.remove_prefix(bytes.size() - tailLimit_);
    }
    while (!bytes.empty()) {
        if (tail_.size() < tailLimit_) {
            const std::size_t room = std::min(bytes.size(), tailLimit_ - tail_.size());
            tail_.append(bytes.substr(0, room));
            bytes.remove_prefix(room);
            continue;
        }
        // Full: overwrite the oldest bytes.
        const std::size_t count = std::min(bytes.size(), tailLimit_ - tailStart_);
        std::copy_n(bytes.data(), count, tail_.begin() + static_cast<std::ptrdiff_t>(tailStart_));
        dropped_ += count;
        bytes.remove_prefix(count);
        tailStart_ = (tailStart_ + count) % tailLimit_;
    }
}

std::string BoundedCapture::text() const {
    std::string out = head_;
    if (dropped_ > 0) {
        out += fmt::format("\n[... {} bytes left out ...]\n", dropped_);
    }
    out.append(tail_, tailStart_, std::string::npos);
    out.append(tail_, 0, tailStart_);
    return out;
}

}  // namespace ambleguard::posix
