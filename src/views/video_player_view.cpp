#include "views/video_player_view.h"

#include "playback/media_player.h"
#include "playback/mpv_engine.h"
#include "playback/mpv_renderer.h"

#include <QMouseEvent>
#include <QOpenGLFunctions>

VideoPlayerView::VideoPlayerView(QWidget *parent) : QOpenGLWidget(parent) {
    setMouseTracking(false);
}

VideoPlayerView::~VideoPlayerView() {
    if (MpvRenderer *current = renderer())
        current->setTargetSize({});
    makeCurrent();
    if (blitter_.isCreated())
        blitter_.destroy();
    doneCurrent();
}

MpvRenderer *VideoPlayerView::renderer() const {
    return player_ ? player_->engine()->renderer() : nullptr;
}

void VideoPlayerView::setPlayer(std::shared_ptr<MediaPlayer> player) {
    if (player == player_)
        return;
    MpvRenderer *previous = renderer();
    player_ = std::move(player);
    hasFrame_ = false;
    if (previous && previous != renderer())
        previous->setTargetSize({});
    disconnect(frames_);
    if (MpvRenderer *current = renderer()) {
        frames_ = connect(current, &MpvRenderer::frameRendered, this, [this] {
            hasFrame_ = true;
            update();
        });
    }
    updateTargetSize();
    update();
}

void VideoPlayerView::updateTargetSize() {
    MpvRenderer *current = renderer();
    if (!current)
        return;
    // Minimized counts as shown: the picture must be there the moment the window comes back.
    current->setTargetSize(isVisible() ? size() * devicePixelRatioF() : QSize());
}

void VideoPlayerView::initializeGL() {
    blitter_.create();
}

void VideoPlayerView::paintGL() {
    QOpenGLFunctions *gl = context()->functions();
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    MpvRenderer *current = renderer();
    if (!current || !hasFrame_ || !current->texture() || !blitter_.isCreated())
        return;
    // The renderer drew at this size, bars included; a stale size is stretched until the next
    // picture arrives.
    blitter_.bind();
    blitter_.blit(current->texture(), QMatrix4x4(), QOpenGLTextureBlitter::OriginBottomLeft);
    blitter_.release();
}

void VideoPlayerView::resizeGL(int, int) {
    updateTargetSize();
}

void VideoPlayerView::showEvent(QShowEvent *event) {
    QOpenGLWidget::showEvent(event);
    updateTargetSize();
}

void VideoPlayerView::hideEvent(QHideEvent *event) {
    QOpenGLWidget::hideEvent(event);
    if (MpvRenderer *current = renderer())
        current->setTargetSize({});
}

void VideoPlayerView::enterEvent(QEnterEvent *event) {
    QOpenGLWidget::enterEvent(event);
    Q_EMIT pointerEntered();
}

void VideoPlayerView::mousePressEvent(QMouseEvent *event) {
    QOpenGLWidget::mousePressEvent(event);
    Q_EMIT pressedOrDragged();
}

void VideoPlayerView::mouseMoveEvent(QMouseEvent *event) {
    QOpenGLWidget::mouseMoveEvent(event);
    if (event->buttons() != Qt::NoButton)
        Q_EMIT pressedOrDragged();
}

void VideoPlayerView::mouseDoubleClickEvent(QMouseEvent *event) {
    QOpenGLWidget::mouseDoubleClickEvent(event);
    Q_EMIT doubleClicked();
}
