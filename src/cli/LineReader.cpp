#include "cli/LineReader.h"

namespace ambleguard::cli {

std::optional<std::string_view> LineReader::next() {
    line_.clear();
    bool any = false;
    for (;;) {
        const int c = getc_unlocked(in_);  // one reader per stream, so no locking
        if (c == EOF) {
            if (!any) {
                return std::nullopt;
            }
            break;
        }
        any = true;
        if (c == '\n') {
            break;
        }
        if (line_.size() <= maxLength_) {
            line_.push_back(static_cast<char>(c));
        }
    }
    return std::string_view(line_);
}

}  // namespace ambleguard::cli
