#include "playback/subtitle_scale.h"

#include <algorithm>
#include <cmath>

namespace subtitle_scale {

double bounded(double scale) {
    return std::isfinite(scale) ? std::clamp(scale, minimum, maximum) : normal;
}

double stepped(double scale, int steps) {
    const double tenths = std::round(bounded(scale) / step) + steps;
    return bounded(tenths * step);
}

} // namespace subtitle_scale
