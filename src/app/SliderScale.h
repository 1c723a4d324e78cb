#pragma once

namespace ambleguard {

// A settings slider's range and step, and the mapping between the stored value and the slider's
// whole-numbered positions (0 at the minimum). A slider can only ever write a value of the
// range; a stored value outside it (written elsewhere) shows at the nearest end, and one between
// two steps at the nearest step.
struct SliderScale {
    double minimum;
    double maximum;
    double step;

    // The last position, at the maximum.
    int positions() const;
    int positionFor(double storedValue) const;
    double valueAt(int position) const;
};

}  // namespace ambleguard
