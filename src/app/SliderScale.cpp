#include "app/SliderScale.h"

#include <algorithm>
#include <cmath>

namespace ambleguard {

int SliderScale::positions() const {
    return static_cast<int>(std::lround((maximum - minimum) / step));
}

int SliderScale::positionFor(double storedValue) const {
    if (std::isnan(storedValue)) {
        return 0;
    }
    const double clamped = std::clamp(storedValue, minimum, maximum);
    return std::clamp(static_cast<int>(std::lround((clamped - minimum) / step)), 0, positions());
}

double SliderScale::valueAt(int position) const {
    const int clamped = std::clamp(position, 0, positions());
    // Rounded to the step's decimal places, so 0.05 steps store 0.35 and not
    // 0.35000000000000003.
    const double decimals = std::max(0.0, std::ceil(-std::log10(step)));
    const double scale = std::pow(10.0, decimals);
    const double value = std::round((minimum + step * clamped) * scale) / scale;
    return std::clamp(value, minimum, maximum);
}

}  // namespace ambleguard
