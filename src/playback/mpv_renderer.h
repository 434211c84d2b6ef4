#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWindow>

#include <mpv/render.h>

#include <atomic>
#include <memory>

class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;
class QOpenGLTexture;
class QOpenGLTextureBlitter;

struct MpvRenderContextDeleter {
    void operator()(mpv_render_context *context) const { mpv_render_context_free(context); }
};

// Draws mpv's pictures with an OpenGL context of its own: straight into the video window when
// one is shown, else into a framebuffer of a given size, else nowhere. It exists from the start
// of the engine, so that a video starts whether or not a surface shows it yet (libmpv's video
// output needs a render context when a video begins); a surface attached later gets the
// current picture at once.
//
// All on the main thread: mpv's update callback only queues a render there. Rendering never
// waits for a frame's display time, so it cannot stall the interface.
class MpvRenderer : public QObject {
    Q_OBJECT
public:
    // nullptr when no OpenGL context can be made here.
    static std::unique_ptr<MpvRenderer> create(mpv_handle *handle);
    ~MpvRenderer() override;

    // The size, in device pixels, of a framebuffer to draw into when no window is set; empty
    // when pictures are to be consumed without drawing.
    void setTargetSize(QSize pixels);
    // A window to draw into directly, while it is exposed; it must use the default format.
    // It takes precedence over the target size.
    void setTargetWindow(QWindow *window);
    // Draws the current picture again (the window was exposed or resized).
    void requestRedraw();
    // A picture drawn over the video in the window, its top left `position` device pixels from
    // the window's; a null image, none.
    void setOverlay(const QImage &image, QPoint position);

    // The last picture, top row first; null before the first one.
    QImage grabFrame();
    // Reads back the next picture drawn onto the target window, as it was drawn there: what
    // the window shows, on any window system (a screen grab sees nothing on Wayland).
    void captureNextWindowPicture();
    const QImage &windowPicture() const { return windowPicture_; }

Q_SIGNALS:
    void frameRendered();

private:
    MpvRenderer() = default;
    void queueRender();
    void render();
    void drawOverlay(QSize pixels);

    std::unique_ptr<QOffscreenSurface> surface_;
    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<mpv_render_context, MpvRenderContextDeleter> renderContext_;
    std::unique_ptr<QOpenGLFramebufferObject> framebuffer_;
    QSize targetSize_;
    QPointer<QWindow> targetWindow_;
    std::atomic_bool renderQueued_ = false;
    bool redrawWanted_ = false;
    bool captureWanted_ = false;
    QImage windowPicture_;
    QImage overlay_;
    QPoint overlayPosition_;
    // Made from `overlay_` when next drawn, with the context current.
    std::unique_ptr<QOpenGLTexture> overlayTexture_;
    bool overlayChanged_ = false;
    std::unique_ptr<QOpenGLTextureBlitter> blitter_;
};
