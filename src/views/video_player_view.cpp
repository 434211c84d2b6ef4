#include "views/video_player_view.h"

#include "playback/media_player.h"
#include "playback/mpv_engine.h"
#include "playback/mpv_renderer.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>

namespace {

// The native window the renderer draws into; it reports the pointer to the view.
class VideoSurface : public QWindow {
public:
    explicit VideoSurface(VideoPlayerView &view) : view_(view) {
        // Keys stay with the main window, where the menu's shortcuts live.
        setFlag(Qt::WindowDoesNotAcceptFocus);
    }

    std::function<void()> redraw;

protected:
    void exposeEvent(QExposeEvent *) override { redrawIfShown(); }
    void resizeEvent(QResizeEvent *) override { redrawIfShown(); }
    bool event(QEvent *event) override {
        switch (event->type()) {
        case QEvent::Enter:
            Q_EMIT view_.pointerEntered();
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
            // Where the window system gives a drop to this window itself (Wayland's compositor
            // does), it goes where a drop anywhere else in the window goes.
            if (QWidget *target = dropTarget()) {
                QCoreApplication::sendEvent(target, event);
                return true;
            }
            break;
        default:
            break;
        }
        return QWindow::event(event);
    }
    void mousePressEvent(QMouseEvent *event) override {
        if (passToOverlay(event))
            return;
        Q_EMIT view_.pressedOrDragged();
        if (event->button() == Qt::RightButton)
            Q_EMIT view_.contextMenuRequested(event->globalPosition().toPoint());
    }
    void mouseMoveEvent(QMouseEvent *event) override {
        if (passToOverlay(event))
            return;
        if (event->buttons() != Qt::NoButton)
            Q_EMIT view_.pressedOrDragged();
        const QPointF position = event->globalPosition();
        if (position != lastPointerPosition_) {
            lastPointerPosition_ = position;
            Q_EMIT view_.pointerMoved();
        }
    }
    void mouseReleaseEvent(QMouseEvent *event) override { passToOverlay(event); }
    void mouseDoubleClickEvent(QMouseEvent *event) override {
        if (!passToOverlay(event))
            Q_EMIT view_.doubleClicked();
    }
    // Keys that the window system delivers to the picture's own window (it lies under the
    // pointer) belong to the main window's keyboard handling.
    void keyPressEvent(QKeyEvent *event) override { forward(event); }
    void keyReleaseEvent(QKeyEvent *event) override { forward(event); }
    void wheelEvent(QWheelEvent *event) override {
        wheelRemainder_ += event->angleDelta().y();
        const int notches = wheelRemainder_ / QWheelEvent::DefaultDeltasPerStep;
        wheelRemainder_ %= QWheelEvent::DefaultDeltasPerStep;
        if (notches != 0)
            Q_EMIT view_.wheelTurned(notches);
    }

private:
    // A press on the overlay, and the pointer's moves until its release, are the overlay's.
    bool passToOverlay(QMouseEvent *event) {
        QWidget *target = overlayHeld_;
        if (event->type() == QEvent::MouseButtonPress ||
            event->type() == QEvent::MouseButtonDblClick) {
            target = view_.overlayAt(view_.mapFromGlobal(event->globalPosition()).toPoint());
            overlayHeld_ = target;
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   event->buttons() == Qt::NoButton) {
            overlayHeld_ = nullptr;
        }
        if (!target)
            return false;
        QMouseEvent copy(event->type(), target->mapFromGlobal(event->globalPosition()),
                         event->scenePosition(), event->globalPosition(), event->button(),
                         event->buttons(), event->modifiers());
        QCoreApplication::sendEvent(target, &copy);
        return true;
    }
    QWidget *dropTarget() const {
        QWidget *widget = view_.parentWidget();
        while (widget && !widget->acceptDrops())
            widget = widget->parentWidget();
        return widget;
    }
    void forward(QKeyEvent *event) {
        QWidget *target = view_.window()->focusWidget();
        QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(),
                       event->isAutoRepeat(), ushort(event->count()));
        QCoreApplication::sendEvent(target ? target : &view_, &copy);
        event->setAccepted(copy.isAccepted());
    }
    void redrawIfShown() {
        if (isExposed() && redraw)
            redraw();
    }

    VideoPlayerView &view_;
    QPointer<QWidget> overlayHeld_;
    int wheelRemainder_ = 0;
    QPointF lastPointerPosition_;
};

} // namespace

VideoPlayerView::VideoPlayerView(QWidget *parent) : QWidget(parent) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The film's own window covers this widget: painting beneath it would only fill memory
    // no one sees.
    setAttribute(Qt::WA_OpaquePaintEvent);
    overlayChanged_.setSingleShot(true);
    overlayChanged_.setInterval(0);
    connect(&overlayChanged_, &QTimer::timeout, this, &VideoPlayerView::drawOverlay);
}

void VideoPlayerView::makeSurface(QSurface::SurfaceType type) {
    auto *surface = new VideoSurface(*this);
    surface->setSurfaceType(type);
    surface->redraw = [this] {
        if (MpvRenderer *current = renderer())
            current->requestRedraw();
    };
    surface_ = surface;
    // The container owns the window from here on.
    QWidget *container = QWidget::createWindowContainer(surface_, this);
    surfaceContainer_ = container;
    // Qt's container hands drops on to the window it holds, where no widget would see them:
    // files dropped on the picture go where a drop anywhere else in the window goes.
    container->setAcceptDrops(false);
    layout()->addWidget(container);
    for (const QPointer<QWidget> &overlay : std::as_const(overlays_)) {
        if (overlay)
            overlay->raise();
    }
}

void VideoPlayerView::paintEvent(QPaintEvent *event) {
    // Until the film's window exists, black rather than whatever was drawn here before.
    if (!surface_)
        QPainter(this).fillRect(event->rect(), Qt::black);
}

void VideoPlayerView::addOverlay(QWidget *widget) {
    overlays_.append(widget);
    widget->installEventFilter(this);
    widget->raise();
    overlayChanged_.start();
}

QWidget *VideoPlayerView::overlayAt(QPoint position) const {
    for (auto overlay = overlays_.crbegin(); overlay != overlays_.crend(); ++overlay) {
        QWidget *widget = *overlay;
        if (widget && widget->isVisible() &&
            !widget->testAttribute(Qt::WA_TransparentForMouseEvents) &&
            widget->geometry().contains(position))
            return widget;
    }
    return nullptr;
}

bool VideoPlayerView::eventFilter(QObject *watched, QEvent *event) {
    if (!takingOverlay_ && watched->isWidgetType() &&
        overlays_.contains(static_cast<QWidget *>(watched))) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Paint:
            overlayChanged_.start();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void VideoPlayerView::drawOverlay() {
    MpvRenderer *current = renderer();
    if (!current)
        return;
    QList<QWidget *> shown;
    QRect area;
    for (const QPointer<QWidget> &overlay : std::as_const(overlays_)) {
        if (overlay && overlay->isVisible()) {
            shown.append(overlay);
            area |= overlay->geometry();
        }
    }
    area &= rect();
    if (area.isEmpty()) {
        current->setOverlay({}, {});
        return;
    }
    // The renderer takes one image: the overlays' looks together, in their order.
    const qreal ratio = devicePixelRatio();
    QImage look((QSizeF(area.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    look.setDevicePixelRatio(ratio);
    look.fill(Qt::transparent);
    takingOverlay_ = true;
    {
        QPainter painter(&look);
        for (QWidget *overlay : std::as_const(shown))
            painter.drawPixmap(overlay->pos() - area.topLeft(), overlay->grab());
    }
    takingOverlay_ = false;
    current->setOverlay(look, area.topLeft() * ratio);
}

VideoPlayerView::~VideoPlayerView() {
    if (MpvRenderer *current = renderer())
        current->setTargetWindow(nullptr);
}

MpvRenderer *VideoPlayerView::renderer() const {
    return player_ ? player_->engine()->renderer() : nullptr;
}

void VideoPlayerView::setPlayer(std::shared_ptr<MediaPlayer> player) {
    if (player == player_)
        return;
    MpvRenderer *previous = renderer();
    player_ = std::move(player);
    if (player_) {
        connect(player_->engine().get(), &MpvEngine::rendererChanged, this,
                &VideoPlayerView::followRenderer, Qt::UniqueConnection);
    }
    if (previous && previous != renderer()) {
        previous->setTargetWindow(nullptr);
        previous->setOverlay({}, {});
    }
    attach();
    drawOverlay();
}

void VideoPlayerView::attach() {
    MpvRenderer *current = renderer();
    if (!current)
        return;
    if (!isVisible()) {
        current->setTargetWindow(nullptr);
        return;
    }
    // Made when the first film shows, when the renderer and the surface type it draws on
    // are known.
    if (!surface_)
        makeSurface(current->surfaceType());
    current->setTargetWindow(surface_);
}

void VideoPlayerView::followRenderer() {
    MpvRenderer *current = renderer();
    // A window's surface type is fixed once it exists: another type takes another window.
    if (current && surface_ && surface_->surfaceType() != current->surfaceType()) {
        surface_ = nullptr;
        surfaceContainer_->hide();
        surfaceContainer_->deleteLater();
    }
    attach();
    drawOverlay();
}

QImage VideoPlayerView::grabPicture() const {
    MpvRenderer *current = renderer();
    if (!current)
        return {};
    const QImage picture = current->windowPicture();
    current->captureNextWindowPicture();
    return picture;
}

void VideoPlayerView::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    attach();
}

void VideoPlayerView::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    if (MpvRenderer *current = renderer())
        current->setTargetWindow(nullptr);
}
