#include "playback/playback_speed.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace playback_speed {

namespace {

// Steps compared as equal though arithmetic left them a hair apart.
constexpr double tolerance = 1e-6;

} // namespace

const QList<double> &steps() {
    static const QList<double> all{0.25, 0.5, 0.75, 1, 1.25, 1.5, 1.75, 2, 2.5, 3, 4};
    return all;
}

double faster(double speed) {
    if (!std::isfinite(speed))
        return normal;
    for (double step : steps())
        if (step > speed + tolerance)
            return step;
    return maximum;
}

double slower(double speed) {
    if (!std::isfinite(speed))
        return normal;
    for (auto step = steps().crbegin(); step != steps().crend(); ++step)
        if (*step < speed - tolerance)
            return *step;
    return minimum;
}

bool isWithinRange(double speed) {
    return std::isfinite(speed) && speed >= minimum - tolerance && speed <= maximum + tolerance;
}

double clockSeconds(double remaining, double speed) {
    if (!std::isfinite(remaining) || remaining <= 0 || !isWithinRange(speed))
        return 0;
    return remaining / speed;
}

QString text(double speed) {
    // Two decimals at most, without trailing zeros: 0.25×, 1.5×, 2×.
    return QString::number(std::round(speed * 100) / 100, 'g', 4) + QChar(0x00D7);
}

} // namespace playback_speed
