// Feeds arbitrary text to the scenario loader: it must refuse or accept without crashing,
// and describe every refusal.

#include "cli/ScenarioLoader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ambleguard::cli;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto result = parseScenario(text);
    if (!result) {
        if (result.error().describe().empty()) {
            std::abort();
        }
    } else if (!(result->duration > 0)) {
        std::abort();
    }
    return 0;
}
