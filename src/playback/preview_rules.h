#pragma once

#include <QSize>
#include <QSizeF>
#include <QtGlobal>

// The size of a preview picture: the film's shape, as large as fits `box` (device pixels). A
// film of unknown or absurd size gets the box's own shape.
QSize previewPictureSize(QSizeF film, QSize box);

// Places on the time bar closer than a pointer can tell apart share one slot, and one picture:
// about 2,000 slots over the whole film, none shorter than a frame of 25 per second.
qint64 previewSlot(double seconds, double duration);
