#pragma once

#include <QLabel>
#include <QSinglePointEvent>
#include <QTimer>

// The new volume, shown briefly over the content where the person is looking after changing it
// from the keyboard or the wheel; it goes by itself and never takes a click or the focus.
//
// A small window of its own, as a tooltip is: the video is drawn in a native window, and nothing
// the main window paints itself could show above it. Without a compositor such a window cannot
// be translucent, so it is an opaque dark panel that disappears rather than fades.
class VolumeOverlay : public QLabel {
    Q_OBJECT
public:
    // Shown over `area`, and gone with it.
    explicit VolumeOverlay(QWidget *area);

    void showLevel(double volume, bool muted);
    // Any short news, for `milliseconds`.
    void showText(const QString &text, int milliseconds = shownMs);

    static constexpr int shownMs = 1200;

protected:
    bool event(QEvent *event) override;

private:
    // Gives a pointer event the window system delivered here to what lies below.
    void passOn(const QSinglePointEvent &event);

    QWidget *area_;
    QTimer shown_;
};
