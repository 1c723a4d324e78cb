#pragma once

#include <optional>

namespace ambleguard {

// How long the keyboard and pointer have been left alone.
class IdleClock {
  public:
    virtual ~IdleClock() = default;
    // Seconds since the last keyboard or pointer input; nothing when it cannot be read.
    virtual std::optional<double> secondsSinceLastInput() = 0;
};

// For platforms without an idle-time source: always unknown.
class NullIdleClock final : public IdleClock {
  public:
    std::optional<double> secondsSinceLastInput() override { return std::nullopt; }
};

}  // namespace ambleguard
