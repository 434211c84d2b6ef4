#include "playback/mpv_renderer.h"

#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QOpenGLTexture>
#include <QOpenGLTextureBlitter>
#include <QWindow>

#include <mpv/render_gl.h>

namespace {

void *procAddress(void *context, const char *name) {
    return reinterpret_cast<void *>(
        static_cast<QOpenGLContext *>(context)->getProcAddress(QByteArray(name)));
}

} // namespace

std::unique_ptr<MpvRenderer> MpvRenderer::create(mpv_handle *handle) {
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return nullptr;
    std::unique_ptr<MpvRenderer> renderer(new MpvRenderer);
    renderer->context_ = std::make_unique<QOpenGLContext>();
    if (!renderer->context_->create())
        return nullptr;
    renderer->surface_ = std::make_unique<QOffscreenSurface>();
    renderer->surface_->setFormat(renderer->context_->format());
    renderer->surface_->create();
    if (!renderer->context_->makeCurrent(renderer->surface_.get()))
        return nullptr;

    mpv_opengl_init_params glInit{&procAddress, renderer->context_.get()};
    int advancedControl = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
        {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advancedControl},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context *renderContext = nullptr;
    const int status = mpv_render_context_create(&renderContext, handle, params);
    renderer->context_->doneCurrent();
    if (status < 0)
        return nullptr;
    renderer->renderContext_.reset(renderContext);
    mpv_render_context_set_update_callback(
        renderContext, [](void *self) { static_cast<MpvRenderer *>(self)->queueRender(); },
        renderer.get());
    return renderer;
}

MpvRenderer::~MpvRenderer() {
    if (!renderContext_)
        return;
    // The render context and the framebuffer go with their OpenGL context current.
    mpv_render_context_set_update_callback(renderContext_.get(), nullptr, nullptr);
    context_->makeCurrent(surface_.get());
    renderContext_.reset();
    framebuffer_.reset();
    overlayTexture_.reset();
    blitter_.reset();
    context_->doneCurrent();
}

void MpvRenderer::setTargetSize(QSize pixels) {
    if (pixels == targetSize_)
        return;
    targetSize_ = pixels;
    if (!targetSize_.isEmpty()) {
        // A surface that arrives late, or a paused picture resized, gets the current picture.
        redrawWanted_ = true;
        queueRender();
    }
}

QImage MpvRenderer::grabFrame() {
    if (!framebuffer_ || !context_->makeCurrent(surface_.get()))
        return {};
    QImage frame = framebuffer_->toImage();
    context_->doneCurrent();
    return frame;
}

void MpvRenderer::captureNextWindowPicture() {
    captureWanted_ = true;
    requestRedraw();
}

void MpvRenderer::queueRender() {
    // Called on mpv's threads too: only hand the work to the main thread, once.
    if (!renderQueued_.exchange(true))
        QMetaObject::invokeMethod(this, &MpvRenderer::render, Qt::QueuedConnection);
}

void MpvRenderer::setTargetWindow(QWindow *window) {
    if (window == targetWindow_)
        return;
    targetWindow_ = window;
    requestRedraw();
}

void MpvRenderer::requestRedraw() {
    redrawWanted_ = true;
    queueRender();
}

void MpvRenderer::setOverlay(const QImage &image, QPoint position) {
    if (image.isNull() && overlay_.isNull())
        return;
    overlay_ = image;
    overlayPosition_ = position;
    overlayChanged_ = true;
    requestRedraw();
}

void MpvRenderer::drawOverlay(QSize pixels) {
    if (std::exchange(overlayChanged_, false))
        overlayTexture_.reset();
    if (overlay_.isNull())
        return;
    if (!blitter_) {
        blitter_ = std::make_unique<QOpenGLTextureBlitter>();
        if (!blitter_->create()) {
            blitter_.reset();
            return;
        }
    }
    if (!overlayTexture_) {
        overlayTexture_ =
            std::make_unique<QOpenGLTexture>(overlay_, QOpenGLTexture::DontGenerateMipMaps);
        // Drawn pixel for pixel.
        overlayTexture_->setMinMagFilters(QOpenGLTexture::Nearest, QOpenGLTexture::Nearest);
    }
    // Whatever state mpv's drawing left.
    QOpenGLFunctions *gl = context_->functions();
    gl->glBindFramebuffer(GL_FRAMEBUFFER, context_->defaultFramebufferObject());
    gl->glViewport(0, 0, pixels.width(), pixels.height());
    gl->glDisable(GL_SCISSOR_TEST);
    gl->glDisable(GL_BLEND);
    blitter_->bind();
    blitter_->blit(overlayTexture_->textureId(),
                   QOpenGLTextureBlitter::targetTransform(QRectF(overlayPosition_, overlay_.size()),
                                                          QRect(QPoint(), pixels)),
                   QOpenGLTextureBlitter::OriginTopLeft);
    blitter_->release();
}

void MpvRenderer::render() {
    renderQueued_ = false;
    // Straight onto the window when one is shown: one pass, as a player window draws itself.
    QWindow *window = targetWindow_ && targetWindow_->isExposed() ? targetWindow_.data() : nullptr;
    if (!context_->makeCurrent(window ? static_cast<QSurface *>(window) : surface_.get()))
        return;
    const bool newFrame = mpv_render_context_update(renderContext_.get()) & MPV_RENDER_UPDATE_FRAME;
    const bool redraw = std::exchange(redrawWanted_, false);
    if (!newFrame && !redraw) {
        context_->doneCurrent();
        return;
    }
    int noWait = 0;
    int flip = 1;
    if (window) {
        const QSize pixels = window->size() * window->devicePixelRatio();
        mpv_opengl_fbo target{int(context_->defaultFramebufferObject()), pixels.width(),
                              pixels.height(), 0};
        mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                     {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                     {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &noWait},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(renderContext_.get(), params);
        drawOverlay(pixels);
        if (std::exchange(captureWanted_, false)) {
            QImage picture(pixels, QImage::Format_RGBA8888);
            QOpenGLFunctions *gl = context_->functions();
            gl->glBindFramebuffer(GL_FRAMEBUFFER, context_->defaultFramebufferObject());
            gl->glReadPixels(0, 0, pixels.width(), pixels.height(), GL_RGBA, GL_UNSIGNED_BYTE,
                             picture.bits());
            // OpenGL's rows go up from the bottom.
            windowPicture_ = picture.mirrored();
        }
        context_->swapBuffers(window);
        context_->doneCurrent();
        Q_EMIT frameRendered();
        return;
    }
    if (targetSize_.isEmpty()) {
        int skip = 1;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                     {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &noWait},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(renderContext_.get(), params);
        context_->doneCurrent();
        return;
    }
    if (!framebuffer_ || framebuffer_->size() != targetSize_)
        framebuffer_ = std::make_unique<QOpenGLFramebufferObject>(targetSize_);
    mpv_opengl_fbo target{int(framebuffer_->handle()), targetSize_.width(), targetSize_.height(),
                          0};
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &noWait},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(renderContext_.get(), params);
    context_->doneCurrent();
    Q_EMIT frameRendered();
}
