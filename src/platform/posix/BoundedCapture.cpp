#include "platform/posix/BoundedCapture.h"

#include <fmt/format.h>

#include <algorithm>

namespace ambleguard::posix {

namespace {

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Drops a UTF-8 sequence cut off at the end of `text`, so a cut never leaves half a character.
void dropCutEnd(std::string& text) {
    std::size_t start = text.size();
    for (int back = 0; back < 4 && start > 0; ++back) {
        --start;
        if (!isContinuation(text[start])) {
            const auto lead = static_cast<unsigned char>(text[start]);
            const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            if (text.size() - start < length) {
                text.erase(start);
            }
            return;
        }
    }
}

// The same at the start: continuation bytes of a character whose start was dropped.
void dropCutStart(std::string& text) {
    std::size_t count = 0;
    while (count < 3 && count < text.size() && isContinuation(text[count])) {
        ++count;
    }
    text.erase(0, count);
}

}  // namespace

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
    std::string tail = tail_.substr(tailStart_) + tail_.substr(0, tailStart_);
    if (dropped_ > 0) {
        // The cuts fall on bytes; the text shown must stay whole characters.
        const std::size_t kept = out.size() + tail.size();
        dropCutEnd(out);
        dropCutStart(tail);
        const std::size_t leftOut = dropped_ + kept - out.size() - tail.size();
        out += fmt::format("\n[... {} bytes left out ...]\n", leftOut);
    }
    out += tail;
    return out;
}

}  // namespace ambleguard::posix
