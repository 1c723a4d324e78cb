// Feeds arbitrary text to the replay trace parser: what it accepts is in time order with RSSI
// a radio can report; what it refuses names a line of the input.

#include "cli/ReplayTrace.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ambleguard::cli;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto result = ReplayTrace::parse(text);
    if (!result) {
        const TraceError& error = result.error();
        const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
        if (error.line == 0 || error.line > lines || error.message.empty()) {
            std::abort();
        }
        return 0;
    }
    const auto& readings = result->readings;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        if (readings[i].rssi < -128 || readings[i].rssi > 127 ||
            (i > 0 && readings[i].t < readings[i - 1].t)) {
            std::abort();
        }
    }
    return 0;
}
