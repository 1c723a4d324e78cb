#include "platform/sim/RecordingLogSink.h"

#include <algorithm>

namespace ambleguard::sim {

bool RecordingLogSink::contains(std::string_view text) const {
    return count(text) > 0;
}

std::size_t RecordingLogSink::count(std::string_view text) const {
    return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(),
                                                  [&](const Entry& e) { return e.text == text; }));
}

bool RecordingLogSink::containsFragment(std::string_view fragment) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& e) { return e.text.find(fragment) != std::string::npos; });
}

std::vector<std::string> RecordingLogSink::texts() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) {
        out.push_back(e.text);
    }
    return out;
}

bool RecordingConsole::contains(std::string_view text) const {
    return std::find(lines_.begin(), lines_.end(), text) != lines_.end();
}

}  // namespace ambleguard::sim
