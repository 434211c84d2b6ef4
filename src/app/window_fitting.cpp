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
