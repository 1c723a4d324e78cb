#pragma once

#include "presence/BoundedHistory.h"

#include <cmath>

namespace ambleguard {

// The last few rounded filtered readings, averaged for display.
class RSSIBuffer {
  public:
    static constexpr int capacity = 5;

    void add(int value) { values_.push_back(value); }
    void clear() { values_.clear(); }
    const BoundedHistory<int, capacity>& values() const { return values_; }

    // The mean of the held values rounded half away from zero; nothing when empty.
    int roundedMean() const {
        if (values_.empty()) {
            return 0;
        }
        int sum = 0;
        for (int value : values_) {
            sum += value;
        }
        return static_cast<int>(
            std::round(static_cast<double>(sum) / static_cast<double>(values_.size())));
    }

  private:
    BoundedHistory<int, capacity> values_;
};

}  // namespace ambleguard
