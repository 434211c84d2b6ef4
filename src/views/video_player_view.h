#pragma once

#include <QMetaObject>
#include <QOpenGLTextureBlitter>
#include <QOpenGLWidget>

#include <memory>

class MediaPlayer;
class MpvRenderer;

// The picture of the current video at the size the layout gives, aspect kept, no controls.
// The engine's renderer draws at this widget's size; the widget shows what it drew. Re-bound
// to each new player without being recreated.
class VideoPlayerView : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit VideoPlayerView(QWidget *parent = nullptr);
    ~VideoPlayerView() override;

    void setPlayer(std::shared_ptr<MediaPlayer> player);
    const std::shared_ptr<MediaPlayer> &player() const { return player_; }

Q_SIGNALS:
    void pointerEntered();
    void pressedOrDragged();
    void doubleClicked();

protected:
    void initializeGL() override;
    void paintGL() override;
    void resizeGL(int width, int height) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    MpvRenderer *renderer() const;
    void updateTargetSize();

    std::shared_ptr<MediaPlayer> player_;
    QMetaObject::Connection frames_;
    QOpenGLTextureBlitter blitter_;
    // Nothing is drawn until the bound player's first picture, not the one before it.
    bool hasFrame_ = false;
};
