#pragma once

#include <QRectF>
#include <QSizeF>

// Where a window showing a video of `mediaSize` goes within a screen's usable area: the video
// at its own size (shrunk uniformly when too large, never enlarged) with room for the
// transport bar below it, centred, and kept off the area's edges.
QRectF fitWindowFrame(QSizeF mediaSize, const QRectF &visibleFrame);
