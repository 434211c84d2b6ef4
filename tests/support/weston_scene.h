#pragma once

// Reads weston's scene graph through its debug protocol, for tests run by tests/on_weston.sh.

#include <QByteArray>
#include <QList>
#include <QProcess>

#include <optional>

namespace weston {

// Whether a window of `pid` is in weston's full-screen layer, above its panel and every other
// window; nothing where the scene graph cannot be read (another compositor, or none).
inline std::optional<bool> inFullScreenLayer(qint64 pid, int timeoutMs = 10000) {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return std::nullopt;
    QProcess debug;
    debug.start("weston-debug", {"scene-graph"});
    if (!debug.waitForFinished(timeoutMs) || debug.exitCode() != 0)
        return std::nullopt;
    // Layers are listed with their place in the stack; weston's full-screen one is 0xb0000000.
    const QByteArray owner = "PID " + QByteArray::number(pid) + ",";
    bool fullScreenLayer = false;
    std::optional<bool> found;
    for (const QByteArray &line : debug.readAllStandardOutput().split('\n')) {
        if (line.startsWith("Layer "))
            fullScreenLayer = line.contains("(pos 0xb0000000)");
        else if (line.contains(owner))
            found = found.value_or(false) || fullScreenLayer;
    }
    return found;
}

} // namespace weston
