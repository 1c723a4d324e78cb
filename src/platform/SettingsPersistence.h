#pragma once

#include "base/Result.h"
#include "base/SettingValue.h"

#include <string>
#include <vector>

namespace ambleguard {

// Where the settings store keeps its values between runs.
class SettingsPersistence {
  public:
    struct Loaded {
        SettingValues values;
        // Problems met while loading (a corrupt file kept aside, an unreadable folder); each is
        // a complete sentence for the user. The store starts from what could be read.
        std::vector<std::string> problems;
    };

    virtual ~SettingsPersistence() = default;
    virtual Loaded load() = 0;
    // Replaces everything stored with `values`.
    virtual Result<void> save(const SettingValues& values) = 0;
    // Where the values live, for messages ("in memory" when nowhere).
    virtual std::string location() const = 0;
};

}  // namespace ambleguard
