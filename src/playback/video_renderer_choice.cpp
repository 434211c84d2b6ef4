#include "playback/video_renderer_choice.h"

#include <QByteArray>
#include <QDir>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <cstdio>

std::optional<VideoRendererKind> forcedVideoRenderer(QByteArrayView setting) {
    const QByteArray value = setting.toByteArray().trimmed().toLower();
    if (value == "opengl")
        return VideoRendererKind::openGl;
    if (value == "software")
        return VideoRendererKind::software;
    return std::nullopt;
}

bool isSoftwareGlDriver(QByteArrayView rendererName) {
    const QByteArray name = rendererName.toByteArray().toLower();
    // Mesa's llvmpipe, softpipe and swrast ("Software Rasterizer"); Microsoft's WARP under WSL.
    for (const char *softwareDriver : {"llvmpipe", "softpipe", "swrast", "software rasterizer"}) {
        if (name.contains(softwareDriver))
            return true;
    }
    return false;
}

namespace {

// Mesa's DRI devices and NVIDIA's own: without any, OpenGL can only be drawn on the CPU.
bool hasGpuDevice() {
    if (!QDir(QStringLiteral("/dev/dri")).entryList(QDir::System).isEmpty())
        return true;
    return !QDir(QStringLiteral("/dev"))
                .entryList({QStringLiteral("nvidia*")}, QDir::System)
                .isEmpty();
}

// The driver's name, or nothing when no OpenGL context can be made.
std::optional<QByteArray> glRendererName() {
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return std::nullopt;
    QOpenGLContext context;
    if (!context.create())
        return std::nullopt;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!context.makeCurrent(&surface))
        return std::nullopt;
    const auto *name =
        reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
    QByteArray result(name ? name : "");
    context.doneCurrent();
    return result;
}

VideoRendererKind chooseVideoRenderer() {
    const QByteArray setting = qgetenv("SONAVEL_VIDEO_RENDERER");
    if (const auto forced = forcedVideoRenderer(setting))
        return *forced;
    if (!setting.isEmpty())
        std::fprintf(stderr, "sonavel: SONAVEL_VIDEO_RENDERER=%s is neither opengl nor software\n",
                     setting.constData());
    if (!hasGpuDevice())
        return VideoRendererKind::software;
    const std::optional<QByteArray> driver = glRendererName();
    return driver && !isSoftwareGlDriver(*driver) ? VideoRendererKind::openGl
                                                  : VideoRendererKind::software;
}

} // namespace

VideoRendererKind videoRendererKind() {
    static const VideoRendererKind kind = chooseVideoRenderer();
    return kind;
}
