#pragma once

#include <QList>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>

#include <optional>

// Where a window showing a video of `mediaSize` goes within a screen's usable area: the video
// at its own size (shrunk uniformly when too large, never enlarged) with room for the
// transport bar below it, centred, and kept off the area's edges.
QRectF fitWindowFrame(QSizeF mediaSize, const QRectF &visibleFrame);

// Whether a window of `current` size must grow, in either direction, to be `wanted`: on Wayland
// it then grows from where the desktop placed it, and may reach past the output.
bool windowGrows(QSize current, QSize wanted);

// Where a remembered window frame goes among the screens' usable areas: on the area it overlaps
// most, shrunk to fit it and moved wholly onto it. nullopt when it overlaps none (the window is
// then centred instead). Any finite frame gives a frame that can be shown.
std::optional<QRect> placeStoredFrame(const QRectF &stored, const QList<QRect> &usableAreas);
