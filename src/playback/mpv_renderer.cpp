#include "playback/mpv_renderer.h"

#include "playback/mpv_gl_renderer.h"
#include "playback/mpv_software_renderer.h"

#include <cstdio>
#include <utility>

std::unique_ptr<MpvRenderer> MpvRenderer::create(mpv_handle *handle) {
    if (videoRendererKind() == VideoRendererKind::openGl) {
        if (auto renderer = MpvGlRenderer::create(handle))
            return renderer;
        std::fputs("sonavel: OpenGL cannot draw films here; drawing them in software\n", stderr);
    }
    return MpvSoftwareRenderer::create(handle);
}

MpvRenderer::~MpvRenderer() {
    release();
}

void MpvRenderer::adopt(mpv_render_context *renderContext) {
    renderContext_.reset(renderContext);
    mpv_render_context_set_update_callback(
        renderContext, [](void *self) { static_cast<MpvRenderer *>(self)->queueRender(); }, this);
}

void MpvRenderer::release() {
    if (!renderContext_)
        return;
    mpv_render_context_set_update_callback(renderContext_.get(), nullptr, nullptr);
    renderContext_.reset();
}

void MpvRenderer::setTargetSize(QSize pixels) {
    if (pixels == targetSize_)
        return;
    targetSize_ = pixels;
    if (!targetSize_.isEmpty()) {
        // A surface that arrives late, or a paused picture resized, gets the current picture.
        requestRedraw();
    }
}

void MpvRenderer::setTargetWindow(QWindow *window) {
    if (window == targetWindow_)
        return;
    targetWindow_ = window;
    targetWindowChanged();
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

void MpvRenderer::reportFailure() {
    if (std::exchange(failed_, true))
        return;
    // Queued: whoever hears it may replace this renderer, which is still drawing.
    QMetaObject::invokeMethod(this, &MpvRenderer::failed, Qt::QueuedConnection);
}

void MpvRenderer::captureNextWindowPicture() {
    captureWanted_ = true;
    requestRedraw();
}

void MpvRenderer::queueRender() {
    // Called on mpv's threads too: only hand the work to the main thread, once.
    if (renderQueued_.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            renderQueued_ = false;
            if (renderContext_)
                render();
        },
        Qt::QueuedConnection);
}

bool MpvRenderer::takeDrawingWanted() {
    const bool newFrame = mpv_render_context_update(renderContext_.get()) & MPV_RENDER_UPDATE_FRAME;
    return std::exchange(redrawWanted_, false) || newFrame;
}
