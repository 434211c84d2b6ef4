#include "views/time_text.h"

#include <cmath>
#include <cstdint>

QString timeString(double seconds) {
    // Beyond ±2^63 the conversion to a whole number is undefined.
    constexpr double limit = 9.2e18;
    if (!std::isfinite(seconds) || std::fabs(seconds) >= limit)
        return QStringLiteral("0:00");
    const auto whole = static_cast<std::int64_t>(seconds);
    const std::int64_t minutes = whole / 60;
    const std::int64_t secs = whole % 60;
    return QStringLiteral("%1:%2").arg(minutes).arg(secs, 2, 10, QLatin1Char('0'));
}

QString clockString(double seconds) {
    if (!std::isfinite(seconds) || seconds < 3600 || seconds >= 9.2e18)
        return timeString(seconds);
    const auto whole = static_cast<std::int64_t>(seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}
