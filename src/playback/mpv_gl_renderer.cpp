#include "playback/mpv_gl_renderer.h"

#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QOpenGLTexture>
#include <QOpenGLTextureBlitter>
#include <QSurfaceFormat>
#include <QWindow>

#include <mpv/render_gl.h>

namespace {

void *procAddress(void *context, const char *name) {
    return reinterpret_cast<void *>(
        static_cast<QOpenGLContext *>(context)->getProcAddress(QByteArray(name)));
}

} // namespace

std::unique_ptr<MpvGlRenderer> MpvGlRenderer::create(mpv_handle *handle) {
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return nullptr;
    std::unique_ptr<MpvGlRenderer> renderer(new MpvGlRenderer);
    renderer->context_ = std::make_unique<QOpenGLContext>();
    // A driver that resets the device says so, and the context then reads as invalid.
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setOption(QSurfaceFormat::ResetNotification);
    renderer->context_->setFormat(format);
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
    renderer->adopt(renderContext);
    return renderer;
}

MpvGlRenderer::~MpvGlRenderer() {
    if (!renderContext_)
        return;
    // The render context and the framebuffer go with their OpenGL context current.
    context_->makeCurrent(surface_.get());
    release();
    framebuffer_.reset();
    overlayTexture_.reset();
    blitter_.reset();
    context_->doneCurrent();
}

QImage MpvGlRenderer::grabFrame() {
    if (!framebuffer_ || !context_->makeCurrent(surface_.get()))
        return {};
    QImage frame = framebuffer_->toImage();
    context_->doneCurrent();
    return frame;
}

void MpvGlRenderer::drawOverlay(QSize pixels) {
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

void MpvGlRenderer::render() {
    // Straight onto the window when one is shown: one pass, as a player window draws itself.
    QWindow *window = exposedWindow();
    if (!context_->makeCurrent(window ? static_cast<QSurface *>(window) : surface_.get())) {
        if (!context_->isValid())
            reportFailure();
        return;
    }
    if (!takeDrawingWanted()) {
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
