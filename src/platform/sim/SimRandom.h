#pragma once

#include "base/Uuid.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace ambleguard::sim {

// A small deterministic generator (SplitMix64) with a Gaussian draw of our own, so a seed gives
// the same numbers with every compiler and standard library.
class SimRandom {
  public:
    explicit SimRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in (0, 1].
    double uniform() { return static_cast<double>((next() >> 11) + 1) * 0x1.0p-53; }

    // Normally distributed with mean 0 and standard deviation `sigma` (Box-Muller).
    double gaussian(double sigma) {
        if (hasSpare_) {
            hasSpare_ = false;
            return spare_ * sigma;
        }
        const double radius = std::sqrt(-2.0 * std::log(uniform()));
        const double angle = 2.0 * std::numbers::pi * uniform();
        spare_ = radius * std::sin(angle);
        hasSpare_ = true;
        return radius * std::cos(angle) * sigma;
    }

    // A random (version 4) identifier.
    Uuid uuid() {
        const std::uint64_t high = next();
        const std::uint64_t low = next();
        Uuid::Bytes bytes = Uuid::fromHalves(high, low).bytes();
        bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
        bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
        return Uuid(bytes);
    }

  private:
    std::uint64_t state_;
    double spare_ = 0;
    bool hasSpare_ = false;
};

}  // namespace ambleguard::sim
