#include "playback/preview_rules.h"

#include <algorithm>
#include <cmath>

QSize previewPictureSize(QSizeF film, QSize box) {
    const QSize bounds = box.expandedTo(QSize(1, 1));
    const bool usable = std::isfinite(film.width()) && std::isfinite(film.height()) &&
                        film.width() >= 1 && film.height() >= 1;
    if (!usable)
        return bounds;
    const double scale = std::min(bounds.width() / film.width(), bounds.height() / film.height());
    const int width = std::clamp(int(std::lround(film.width() * scale)), 1, bounds.width());
    const int height = std::clamp(int(std::lround(film.height() * scale)), 1, bounds.height());
    return QSize(width, height);
}

qint64 previewSlot(double seconds, double duration) {
    constexpr double slots = 2000;
    constexpr double shortest = 0.04;
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    const double length =
        std::isfinite(duration) && duration > 0 ? std::max(duration / slots, shortest) : shortest;
    // Past any real film's length: all such places are one.
    return qint64(std::floor(std::min(seconds / length, 1e15)));
}
