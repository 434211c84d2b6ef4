#pragma once

#include "playback/mpv_renderer.h"

class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;
class QOpenGLTexture;
class QOpenGLTextureBlitter;

// Draws with an OpenGL context of its own: straight into the video window, in one pass, as a
// player window draws itself, or into a framebuffer of the target size.
class MpvGlRenderer final : public MpvRenderer {
    Q_OBJECT
public:
    // nullptr when no OpenGL context can be made here, or mpv cannot draw with it.
    static std::unique_ptr<MpvGlRenderer> create(mpv_handle *handle);
    ~MpvGlRenderer() override;

    VideoRendererKind kind() const override { return VideoRendererKind::openGl; }
    QImage grabFrame() override;

protected:
    void render() override;

private:
    MpvGlRenderer() = default;
    void drawOverlay(QSize pixels);

    std::unique_ptr<QOffscreenSurface> surface_;
    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<QOpenGLFramebufferObject> framebuffer_;
    // Made from the overlay when next drawn, with the context current.
    std::unique_ptr<QOpenGLTexture> overlayTexture_;
    std::unique_ptr<QOpenGLTextureBlitter> blitter_;
};
