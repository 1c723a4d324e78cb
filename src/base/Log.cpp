#include "base/Log.h"

namespace ambleguard {

std::string_view toString(LogLevel level) {
    switch (level) {
        case LogLevel::debug:
            return "debug";
        case LogLevel::info:
            return "info";
        case LogLevel::notice:
            return "default";
        case LogLevel::error:
            return "error";
        case LogLevel::fault:
            return "fault";
    }
    return "default";
}

}  // namespace ambleguard
