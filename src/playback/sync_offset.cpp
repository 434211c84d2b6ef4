#include "playback/sync_offset.h"

#include <algorithm>
#include <cmath>

namespace sync_offset {

double bounded(double offset) {
    return std::isfinite(offset) ? std::clamp(offset, -largestSeconds, largestSeconds) : 0.0;
}

double stepped(double offset, int steps) {
    // On the grid, so ten steps later and ten earlier come back to exactly 0.
    const double tenths = std::round(bounded(offset) / stepSeconds) + steps;
    return bounded(tenths * stepSeconds);
}

} // namespace sync_offset
