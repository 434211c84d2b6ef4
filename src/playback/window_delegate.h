#pragma once

#include <QObject>
#include <QSizeF>

// What the playback core asks of the application shell: fit the window to newly loaded media.
// A QObject so that the player manager can hold it weakly.
class WindowDelegate : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void resizeAndPositionWindow(QSizeF size, bool isVideo) = 0;
};
