#include "views/time_text.h"

#include <cmath>
#include <cstdint>

QString timeString(double seconds) {
    // Beyond ±2^63 the conversion to a whole number is undefined.
    constexpr double limit = 9.2e18;
    if (!std::isfinite(seconds) || std::fabs(seconds) >= limit)
        return QStringLiteral("0:00");
    const auto whole = static_cast<std::int64_t>(seconds);
    const QLatin1Char zero('0');
    if (whole < 3600)
        return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, zero)
        .arg(whole % 60, 2, 10, zero);
}
