#pragma once

#include "base/Signal.h"

#include <functional>
#include <utility>

namespace ambleguard {

// A value that a user interface watches: the current value plus a signal raised whenever an
// assignment changes it. Owners write it on the main queue only, so observers run there too.
template <typename T>
class Published {
  public:
    explicit Published(T initial = T{}) : value_(std::move(initial)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& get() const { return value_; }

    // Assigning the value it already has raises nothing.
    void set(T value) {
        if (value == value_) {
            return;
        }
        value_ = std::move(value);
        changed_.emit(value_);
    }

    [[nodiscard]] Connection observe(std::function<void(const T&)> observer) const {
        return changed_.connect(std::move(observer));
    }

  private:
    T value_;
    mutable Signal<const T&> changed_;
};

}  // namespace ambleguard
