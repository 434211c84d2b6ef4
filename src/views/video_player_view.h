#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QSurface>
#include <QTimer>
#include <QWidget>

#include <memory>

class MediaPlayer;
class MpvRenderer;
class QWindow;

// The picture of the current video at the size the layout gives, aspect kept, no controls.
// The engine's renderer draws straight into a native child window here, in one pass, as a
// player's own window would be drawn. Re-bound to each new player without being recreated.
class VideoPlayerView : public QWidget {
    Q_OBJECT
public:
    explicit VideoPlayerView(QWidget *parent = nullptr);
    ~VideoPlayerView() override;

    void setPlayer(std::shared_ptr<MediaPlayer> player);
    const std::shared_ptr<MediaPlayer> &player() const { return player_; }

    // The window the picture is drawn in (it receives the pointer), from when the first film
    // shows; and what it last showed when asked before (each call asks for the next picture).
    QWindow *surface() const { return surface_; }
    QImage grabPicture() const;

    // Shows `widget`, a child of this view, over the picture, above those added before. The
    // picture's native window would hide anything the window paints, so the renderer draws the
    // looks of all shown overlays into the picture, as one image; the pointer over one goes to
    // it, unless it is transparent to the mouse.
    void addOverlay(QWidget *widget);
    // The overlay that takes the pointer where `position` (in this view) lies, if any.
    QWidget *overlayAt(QPoint position) const;

Q_SIGNALS:
    void pointerEntered();
    // The pointer moved over the picture (a real move: the same place again does not count).
    void pointerMoved();
    void pressedOrDragged();
    void doubleClicked();
    // The mouse wheel over the picture, in notches (positive away from the user).
    void wheelTurned(int notches);
    // A right click on the picture, where it was made.
    void contextMenuRequested(QPoint globalPosition);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MpvRenderer *renderer() const;
    void attach();
    void makeSurface(QSurface::SurfaceType type);
    // Another renderer took over: it may need another kind of window.
    void followRenderer();
    void drawOverlay();

    std::shared_ptr<MediaPlayer> player_;
    QWindow *surface_ = nullptr;
    QPointer<QWidget> surfaceContainer_;
    QList<QPointer<QWidget>> overlays_;
    // The overlays' looks are taken once their painting is done, not from within it.
    QTimer overlayChanged_;
    bool takingOverlay_ = false;
};
