#include "app/window_fitting.h"

#include <algorithm>

namespace {

constexpr double horizontalAllowance = 40;
constexpr double verticalAllowance = 40 + 60;
constexpr double transportBarHeight = 60;
constexpr double edgeInset = 20;

} // namespace

QRectF fitWindowFrame(QSizeF mediaSize, const QRectF &visibleFrame) {
    const double maxWidth = visibleFrame.width() - horizontalAllowance;
    const double maxHeight = visibleFrame.height() - verticalAllowance;
    double width = mediaSize.width();
    double height = mediaSize.height();
    if (width > maxWidth || height > maxHeight) {
        const double scale = std::min(maxWidth / width, maxHeight / height);
        width *= scale;
        height *= scale;
    }
    const double frameHeight = height + transportBarHeight;

    double x = visibleFrame.x() + (visibleFrame.width() - width) / 2;
    double y = visibleFrame.y() + (visibleFrame.height() - frameHeight) / 2;
    const double minX = visibleFrame.x();
    const double maxX = visibleFrame.x() + visibleFrame.width();
    const double minY = visibleFrame.y();
    const double maxY = visibleFrame.y() + visibleFrame.height();
    if (x < minX)
        x = minX + edgeInset;
    if (x + width > maxX)
        x = maxX - width - edgeInset;
    if (y < minY)
        y = minY + edgeInset;
    if (y + frameHeight > maxY)
        y = maxY - frameHeight - edgeInset;
    return QRectF(x, y, width, frameHeight);
}

bool windowGrows(QSize current, QSize wanted) {
    return wanted.width() > current.width() || wanted.height() > current.height();
}

std::optional<QRect> placeStoredFrame(const QRectF &stored, const QList<QRect> &usableAreas) {
    const QRect *best = nullptr;
    double bestOverlap = 0;
    for (const QRect &area : usableAreas) {
        const QRectF overlap = QRectF(area).intersected(stored);
        const double size = overlap.width() * overlap.height();
        if (!area.isEmpty() && size > bestOverlap) {
            bestOverlap = size;
            best = &area;
        }
    }
    if (!best)
        return std::nullopt;
    // All in doubles and within the area before anything becomes an int: a stored size of
    // 1e12 must neither overflow nor ask for a window no display can hold.
    const QRectF area(*best);
    const double width = std::min(stored.width(), area.width());
    const double height = std::min(stored.height(), area.height());
    const double x = std::clamp(stored.x(), area.left(), area.left() + area.width() - width);
    const double y = std::clamp(stored.y(), area.top(), area.top() + area.height() - height);
    return QRectF(x, y, width, height).toRect();
}
