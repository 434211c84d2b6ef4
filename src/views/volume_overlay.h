#pragma once

#include <QLabel>
#include <QTimer>

// The new volume, shown briefly over the content where the person is looking after changing it
// from the keyboard or the wheel; it goes by itself and never takes a click or the focus.
//
// A native window of its own: the video is drawn in a native window, and nothing drawn by the
// main window's own painting could show above it. Without a compositor such a window cannot be
// translucent, so it is an opaque dark panel that disappears rather than fades.
class VolumeOverlay : public QLabel {
    Q_OBJECT
public:
    explicit VolumeOverlay(QWidget *parent);

    void showLevel(double volume, bool muted);

    static constexpr int shownMs = 1200;

private:
    QTimer shown_;
};
