#pragma once

#include <QByteArrayView>
#include <QStringView>

#include <optional>

// How films are drawn: through OpenGL where a GPU draws, or by mpv into memory that the window
// shows where OpenGL itself would run on the CPU (a software rasteriser costs three times as
// much as mpv's own software path, for the same picture).
enum class VideoRendererKind { openGl, software };

// What SONAVEL_VIDEO_RENDERER asks for: "opengl" or "software"; nothing for an empty or unknown
// value.
std::optional<VideoRendererKind> forcedVideoRenderer(QByteArrayView setting);
// Whether an OpenGL renderer string (GL_RENDERER) names a driver that draws on the CPU.
bool isSoftwareGlDriver(QByteArrayView rendererName);

// The choice for this process, made once, on the main thread, when the first film needs it: the
// setting when given; software where the machine has no GPU device at all, or OpenGL cannot be
// had or runs on a software driver; OpenGL otherwise. Probing OpenGL maps the driver, so it is
// left until a film is shown.
VideoRendererKind videoRendererKind();
