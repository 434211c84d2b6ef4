#pragma once

#include "playback/video_renderer_choice.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QSurface>
#include <QWindow>

#include <mpv/render.h>

#include <atomic>
#include <memory>

struct MpvRenderContextDeleter {
    void operator()(mpv_render_context *context) const { mpv_render_context_free(context); }
};

// Draws mpv's pictures: straight into the video window when one is shown, else into a picture
// of a given size, else nowhere. It exists from the start of the first film, so that a video
// starts whether or not a surface shows it yet (libmpv's video output needs a render context
// when a video begins); a surface attached later gets the current picture at once.
//
// All on the main thread: mpv's update callback only queues a render there. Rendering never
// waits for a frame's display time, so it cannot stall the interface.
class MpvRenderer : public QObject {
    Q_OBJECT
public:
    // The kind videoRendererKind() chose, or software when OpenGL fails to start after all;
    // nullptr when neither can draw here.
    static std::unique_ptr<MpvRenderer> create(mpv_handle *handle);
    ~MpvRenderer() override;

    virtual VideoRendererKind kind() const = 0;
    // What a window this renderer draws into must be.
    QSurface::SurfaceType surfaceType() const {
        return kind() == VideoRendererKind::openGl ? QSurface::OpenGLSurface
                                                   : QSurface::RasterSurface;
    }

    // The size, in device pixels, of a picture to draw into when no window is set; empty when
    // pictures are to be consumed without drawing.
    void setTargetSize(QSize pixels);
    // A window to draw into directly, while it is exposed; its surface type must be
    // surfaceType(). It takes precedence over the target size.
    void setTargetWindow(QWindow *window);
    // Draws the current picture again (the window was exposed or resized).
    void requestRedraw();
    // A picture drawn over the video in the window, its top left `position` device pixels from
    // the window's; a null image, none.
    void setOverlay(const QImage &image, QPoint position);

    // The last picture drawn at the target size, top row first; null before the first one.
    virtual QImage grabFrame() = 0;
    // Reads back the next picture drawn onto the target window, as it was drawn there: what
    // the window shows, on any window system (a screen grab sees nothing on Wayland).
    void captureNextWindowPicture();
    const QImage &windowPicture() const { return windowPicture_; }

Q_SIGNALS:
    void frameRendered();
    // It can no longer draw (the graphics driver failed); said once, after the drawing that
    // found it.
    void failed();

protected:
    MpvRenderer() = default;
    // Takes the render context and starts following mpv's updates.
    void adopt(mpv_render_context *renderContext);
    // Stops mpv's updates and frees the render context (a subclass may need its own state for
    // that, so it calls this from its destructor).
    void release();
    // Draws when mpv has a new picture or a redraw was asked for.
    virtual void render() = 0;
    // The window to draw into now, if any.
    QWindow *exposedWindow() const {
        return targetWindow_ && targetWindow_->isExposed() ? targetWindow_.data() : nullptr;
    }
    // Whether there is anything to draw: a new picture, or a redraw asked for (taken).
    bool takeDrawingWanted();
    void reportFailure();
    virtual void targetWindowChanged() {}

    std::unique_ptr<mpv_render_context, MpvRenderContextDeleter> renderContext_;
    QSize targetSize_;
    QImage windowPicture_;
    bool captureWanted_ = false;
    QImage overlay_;
    QPoint overlayPosition_;
    bool overlayChanged_ = false;

private:
    void queueRender();

    QPointer<QWindow> targetWindow_;
    std::atomic_bool renderQueued_ = false;
    bool redrawWanted_ = false;
    bool failed_ = false;
};
