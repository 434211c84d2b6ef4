#include "playback/resume_rule.h"

#include <algorithm>
#include <cmath>

namespace resume_rule {

Verdict onLeaving(double positionSeconds, double durationSeconds) {
    if (!std::isfinite(durationSeconds) || !std::isfinite(positionSeconds) ||
        durationSeconds < shortestSeconds)
        return Verdict::leaveAsIs;
    const double finishedFrom = durationSeconds - std::max(0.05 * durationSeconds, 30.0);
    if (positionSeconds >= finishedFrom)
        return Verdict::forget;
    if (positionSeconds < earliestSeconds)
        return Verdict::leaveAsIs;
    return Verdict::remember;
}

} // namespace resume_rule
